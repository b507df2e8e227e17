#include "mainboard/machine/Translations.h"

namespace simboard {
namespace {

constexpr std::uint16_t kPrimaryChinese = 0x04;
constexpr std::uint16_t kPrimaryGerman = 0x07;
constexpr std::uint16_t kPrimaryJapanese = 0x11;
constexpr std::uint16_t kTraditionalSublanguages[] = {0x01, 0x03, 0x05};  // Taiwan, Hong Kong, Macau

// Every catalog keeps "-" as it is: the tray menu makes a separator of it.
constexpr Catalog kCatalogs[] = {
    {"en", 0x0409, {{u"About", u"About"}, {u"-", u"-"}, {u"Exit", u"Exit"}, {u"OK", u"OK"}}},
    {"zh-TW", 0x0404, {{u"About", u"關於"}, {u"-", u"-"}, {u"Exit", u"結束"}, {u"OK", u"確定"}}},
    {"de", 0x0407, {{u"About", u"Über"}, {u"-", u"-"}, {u"Exit", u"Beenden"}, {u"OK", u"OK"}}},
    {"ja", 0x0411, {{u"About", u"バージョン情報"}, {u"-", u"-"}, {u"Exit", u"終了"}, {u"OK", u"OK"}}},
};

}  // namespace

std::span<const Catalog> catalogs() { return kCatalogs; }

const Catalog& catalogFor(std::uint16_t languageId) {
    const std::uint16_t primary = languageId & 0x3FF;
    const std::uint16_t sublanguage = static_cast<std::uint16_t>(languageId >> 10);
    switch (primary) {
        case kPrimaryChinese:
            for (std::uint16_t traditional : kTraditionalSublanguages)
                if (sublanguage == traditional) return kCatalogs[1];
            return kCatalogs[0];
        case kPrimaryGerman:
            return kCatalogs[2];
        case kPrimaryJapanese:
            return kCatalogs[3];
        default:
            return kCatalogs[0];
    }
}

std::optional<std::uint16_t> languageNamed(std::string_view name) {
    for (const Catalog& c : kCatalogs)
        if (c.name == name) return c.languageId;
    return std::nullopt;
}

std::u16string_view translation(const Catalog& catalog, std::u16string_view key) {
    for (const CatalogEntry& e : catalog.entries)
        if (e.key == key) return e.text;
    return key;
}

}  // namespace simboard
