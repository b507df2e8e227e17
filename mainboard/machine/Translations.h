#pragma once
// What NuMultiLang.dll translates: one catalog per language for the program's four captions,
// chosen by a Windows language id (LANGID).

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace simboard {

struct CatalogEntry {
    std::u16string_view key;
    std::u16string_view text;
};

struct Catalog {
    std::string_view name;     // "en", "zh-TW", "de", "ja": what NuGetLangName answers and simctl takes
    std::uint16_t languageId;  // the language's own LANGID
    CatalogEntry entries[4];
};

std::span<const Catalog> catalogs();

// Traditional Chinese for Taiwan, Hong Kong and Macau, German and Japanese by their primary
// language; English for every other language.
const Catalog& catalogFor(std::uint16_t languageId);

std::optional<std::uint16_t> languageNamed(std::string_view name);

// The key's text in the catalog; a key the catalog lacks stays as it is.
std::u16string_view translation(const Catalog& catalog, std::u16string_view key);

}  // namespace simboard
