// Fuzzes the handling of card names on their way to Info.ini: the back end's 256-byte name buffer
// (zero-filled, then written with any bytes, with or without a terminating zero) is read up to its
// first zero, widened byte by byte (as a single-byte code page does), trimmed, and looked up as the
// key of section Name_NV; and any model id names a section that reads back as that id.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "gpulib/BufferText.h"
#include "server/carddb/CardDatabase.h"
#include "server/core/IntegerText.h"

namespace {

constexpr std::size_t kNameBytes = 256;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "card name: %s\n", what);
    std::abort();
}

// What the name must lose at its ends: blanks and control characters (C0, DEL and C1).
bool blankOrControl(char16_t c) { return c <= u' ' || (c >= 0x7F && c <= 0x9F); }

class AskedKeys : public kelvane::ProfileFile {
  public:
    std::u16string section, key;
    std::int32_t readInt(std::u16string_view s, std::u16string_view k, std::int32_t fallback) override {
        section = s;
        key = k;
        return fallback;
    }
    void writeString(std::u16string_view, std::u16string_view, std::u16string_view) override {}
};

class OneName : public kelvane::CardNameSource {
  public:
    std::u16string name;
    std::u16string cardName(std::uint32_t) override { return name; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::int32_t modelId = in.ConsumeIntegral<std::int32_t>();
    char buffer[kNameBytes] = {};
    const std::vector<std::uint8_t> written = in.ConsumeBytes<std::uint8_t>(kNameBytes);
    std::copy(written.begin(), written.end(), buffer);

    const std::string raw = kelvane::textUpToZero(std::span<const char>(buffer, kNameBytes));
    if (raw.size() > kNameBytes || raw.find('\0') != std::string::npos ||
        (raw.size() < kNameBytes && buffer[raw.size()] != 0))
        fail("the text does not end at the first zero or the buffer's end");
    std::u16string wide;
    for (char c : raw) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));

    const std::u16string_view name = kelvane::trimText(wide);
    const std::size_t at = name.empty() ? 0 : static_cast<std::size_t>(name.data() - wide.data());
    if (at + name.size() > wide.size()) fail("the trimmed name lies outside the text");
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const bool kept = i >= at && i < at + name.size();
        if (!kept && !blankOrControl(wide[i])) fail("a character other than a blank or control was cut");
    }
    if (!name.empty() && (blankOrControl(name.front()) || blankOrControl(name.back())))
        fail("a blank or control character is left at an end");

    AskedKeys file;
    OneName names;
    names.name = std::u16string(name);
    kelvane::InfoIniDatabase database(file, names);
    if (database.lookupModelId(0) != 0 || file.section != u"Name_NV" || file.key != name)
        fail("the lookup did not ask for the trimmed name in Name_NV with the default 0");

    const std::u16string section = kelvane::modelSection(modelId);
    if (!section.ends_with(u"_NV")) fail("a model section does not end in _NV");
    const auto id = kelvane::parseInteger(std::u16string_view(section).substr(0, section.size() - 3));
    if (!id || *id != modelId) fail("a model section does not read back as its id");
    return 0;
}
