#include "installer/plugin/RecordedContent.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace setupkit {
namespace {

constexpr std::wstring_view kAnyContent = L"any";
constexpr std::size_t kHashDigits = 64;
constexpr std::string_view kServerSection = "Voltage";
constexpr std::string_view kServerKey = "Large";

bool isHash(std::wstring_view text) {
    return text.size() == kHashDigits && std::all_of(text.begin(), text.end(), [](wchar_t c) {
               return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
           });
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::wstring recordValue(const Content& content) {
    if (!isHash(content.hash)) return {};
    if (content.hashWithoutServerWrite.empty()) return content.hash;
    if (!isHash(content.hashWithoutServerWrite)) return {};
    return content.hash + L' ' + content.hashWithoutServerWrite;
}

std::optional<RecordedContent> parseRecordValue(std::wstring_view value) {
    if (value == kAnyContent) return RecordedContent{true, {}};
    const std::size_t space = value.find(L' ');
    const std::wstring_view hash = value.substr(0, space);
    const std::wstring_view second = space == std::wstring_view::npos ? L"" : value.substr(space + 1);
    if (!isHash(hash) || (space != std::wstring_view::npos && !isHash(second))) return std::nullopt;
    return RecordedContent{false, {std::wstring(hash), std::wstring(second)}};
}

Sameness compare(const RecordedContent& recorded, const Content& now) {
    if (recorded.anyContent) return Sameness::AsWritten;
    const auto equal = [](std::wstring_view a, std::wstring_view b) { return !a.empty() && a == b; };
    if (equal(recorded.content.hash, now.hash)) return Sameness::AsWritten;
    if (equal(recorded.content.hashWithoutServerWrite, now.hashWithoutServerWrite))
        return Sameness::ChangedOnlyByTheServer;
    return Sameness::Changed;
}

std::string withoutServerWrite(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t sectionHeading = std::string::npos;  // in lines, while in the server's section
    bool sectionHasKeys = false;
    const auto closeSection = [&] {
        if (sectionHeading != std::string::npos && !sectionHasKeys)
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(sectionHeading));
        sectionHeading = std::string::npos;
    };
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty()) continue;
        if (line.front() == '[') {
            closeSection();
            const std::size_t close = line.find(']');
            const std::string_view name =
                trimmed(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            if (sameName(name, kServerSection)) {
                sectionHeading = lines.size();
                sectionHasKeys = false;
            }
            lines.push_back('[' + std::string(name) + ']');
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            lines.emplace_back(line);
        } else {
            const std::string_view key = trimmed(line.substr(0, equals));
            if (sectionHeading != std::string::npos && sameName(key, kServerKey)) continue;
            lines.push_back(std::string(key) + '=' + std::string(trimmed(line.substr(equals + 1))));
        }
        if (sectionHeading != std::string::npos) sectionHasKeys = true;
    }
    closeSection();
    std::string canonical;
    for (const std::string& line : lines) canonical += line + '\n';
    return canonical;
}

}  // namespace setupkit
