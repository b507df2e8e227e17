// Info.ini through the real profile functions, on real files: the matching rules the database
// relies on, a missing file, a read-only file, and card names as back ends leave them.

#include "server/carddb/InfoIni.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "server/carddb/GreencardCardNames.h"
#include "server/core/DefaultLoader.h"
#include "server/core/GreencardRoles_test.h"
#include "win32/Application.h"
#include "win32/Handles.h"
#include "win32/Text.h"

namespace kelvane {
namespace {

class NoCard : public GreencardRoles {
  public:
    std::vector<NvClockInfo> applied;
    void applyClocks(std::uint32_t, const NvClockInfo& r) override { applied.push_back(r); }
};

class NamedCard : public CardNameSource {
  public:
    std::u16string name = u"Kelvane Vortex 880";
    std::u16string cardName(std::uint32_t) override { return name; }
};

class InfoIniFile : public ::testing::Test {
  protected:
    std::wstring path = win32::executableFolder() + L"info-ini-test.ini";
    PrivateProfileFile file{path};
    NamedCard names;
    InfoIniDatabase database{file, names};

    void SetUp() override { remove(); }
    void TearDown() override { remove(); }
    void remove() {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
    }
    void write(const std::string& text) { std::ofstream(win32::narrow(path), std::ios::binary) << text; }
    std::string contents() {
        std::ifstream in(win32::narrow(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists() { return win32::fileExists(path); }
};

TEST_F(InfoIniFile, NamesMatchWithoutRegardToCaseAndBlanksAroundThem) {
    write("[name_nv]\r\n  KELVANE vortex 880  = 3\r\n[ 3_nv ]\r\nVCORE_MAX = 1250\r\n[VERSION]\r\nver=2\r\n");
    EXPECT_EQ(database.lookupModelId(0), 3);
    EXPECT_EQ(file.readInt(u"3_NV", u"vcore_max ", 1138), 1250) << "the key with its trailing blank matches";
    EXPECT_EQ(database.readVersion(), 2);
}

TEST_F(InfoIniFile, ValuesThatAreNotNumbersReadAsTheProfileFunctionsReadThem) {
    write("[3_NV]\r\ncore_def=abc\r\nfan_def=55rpm\r\nvcore_def=\r\n");
    EXPECT_EQ(file.readInt(u"3_NV", u"core_def", 700), 0);
    EXPECT_EQ(file.readInt(u"3_NV", u"fan_def", 44), 55);
    EXPECT_EQ(file.readInt(u"3_NV", u"memory_def", 924), 924) << "a missing key gives the default";
}

TEST_F(InfoIniFile, WithoutAFileEveryValueIsItsDefaultAndTheMaximumVoltageIsWrittenToANewFile) {
    ASSERT_FALSE(exists());
    EXPECT_EQ(database.lookupModelId(0), 0);
    EXPECT_EQ(database.readVersion(), 1);
    CardState cards{{}, 4, true};
    NoCard card;
    loadDefaults(cards, card, database);
    ASSERT_EQ(card.applied.size(), 4u);
    EXPECT_EQ(card.applied[3].core.current, 700);
    EXPECT_EQ(card.applied[3].memory.current, 1848);
    EXPECT_EQ(card.applied[3].voltage.current, 1075);
    EXPECT_EQ(card.applied[3].fan.current, 44);
    ASSERT_TRUE(exists()) << "the profile writer creates the file";
    EXPECT_EQ(file.readInt(u"Voltage", u"Large", 0), 1138);
}

TEST_F(InfoIniFile, UnwritableFileKeepsItsContentsAndTheDefaultsAreStillApplied) {
    const std::string original =
        "[Name_NV]\r\nKelvane Vortex 880=3\r\n[3_NV]\r\ncore_def=800\r\nvcore_max =1200\r\n";
    write(original);
    // Held open by another program that lets others read only. (The read-only attribute would not
    // do here: the tests run as root, and root writes through it.)
    ::SetLastError(0xdeadbeef);
    win32::UniqueHandle holder(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder) << ::GetLastError();
    CardState cards{{}, 2, true};
    NoCard card;
    loadDefaults(cards, card, database);
    ASSERT_EQ(card.applied.size(), 2u);
    EXPECT_EQ(card.applied[0].core.current, 800);
    EXPECT_EQ(contents(), original);
}

TEST_F(InfoIniFile, AfterLoadingDefaultsLargeHoldsTheModelsMaximumVoltage) {
    write("[Name_NV]\r\nKelvane Vortex 880=3\r\n[3_NV]\r\nvcore_max =1200\r\n");
    CardState cards{{}, 1, true};
    NoCard card;
    loadDefaults(cards, card, database);
    EXPECT_EQ(file.readInt(u"Voltage", u"Large", 0), 1200);
    EXPECT_EQ(file.readInt(u"Name_NV", u"Kelvane Vortex 880", 0), 3) << "the rest of the file is kept";
}

TEST(CardNameFromBuffer, EndsAtTheFirstZeroOrAtTheBuffersEnd) {
    char buffer[256] = " \t Kelvane Vortex 880 \r\n";
    EXPECT_EQ(cardNameFromBuffer(buffer, sizeof buffer), u"Kelvane Vortex 880");
    std::fill(std::begin(buffer), std::end(buffer), 'A');  // a back end that wrote no terminator
    EXPECT_EQ(cardNameFromBuffer(buffer, sizeof buffer), std::u16string(256, u'A'));
    std::fill(std::begin(buffer), std::end(buffer), '\0');
    EXPECT_EQ(cardNameFromBuffer(buffer, sizeof buffer), u"");
}

TEST(CardNameFromBuffer, UsesTheSystemsEightBitCodePage) {
    const char name[] = "Vortex \xE9";  // e acute in the Western code page
    wchar_t expected = 0;
    ::MultiByteToWideChar(CP_ACP, 0, "\xE9", 1, &expected, 1);
    EXPECT_EQ(cardNameFromBuffer(name, sizeof name),
              u"Vortex " + std::u16string(1, static_cast<char16_t>(expected)));
}

}  // namespace
}  // namespace kelvane
