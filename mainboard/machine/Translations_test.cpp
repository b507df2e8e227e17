#include "mainboard/machine/Translations.h"

#include <gtest/gtest.h>

namespace simboard {
namespace {

TEST(Translations, LanguageIdChoosesTheCatalogByPrimaryLanguageAndChineseScript) {
    const struct {
        std::uint16_t languageId;
        std::string_view catalog;
    } cases[] = {
        {0x0409, "en"},    {0x0809, "en"}, {0x0404, "zh-TW"}, {0x0C04, "zh-TW"},
        {0x1404, "zh-TW"}, {0x0804, "en"}, {0x1004, "en"},    {0x0407, "de"},
        {0x0C07, "de"},    {0x0411, "ja"}, {0x040C, "en"},    {0x0000, "en"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(catalogFor(c.languageId).name, c.catalog) << std::hex << c.languageId;
}

TEST(Translations, EveryCatalogTranslatesTheFourCaptionsAndKeepsTheSeparator) {
    for (const Catalog& catalog : catalogs()) {
        EXPECT_EQ(translation(catalog, u"-"), u"-") << catalog.name;
        for (std::u16string_view key : {u"About", u"Exit", u"OK"})
            EXPECT_FALSE(translation(catalog, key).empty()) << catalog.name;
        EXPECT_EQ(translation(catalog, u"Cancel"), u"Cancel") << catalog.name;
        EXPECT_EQ(languageNamed(catalog.name), catalog.languageId);
        EXPECT_EQ(&catalogFor(catalog.languageId), &catalog);
    }
    EXPECT_EQ(translation(catalogFor(0x0407), u"Exit"), u"Beenden");
    EXPECT_EQ(languageNamed("fr"), std::nullopt);
}

}  // namespace
}  // namespace simboard
