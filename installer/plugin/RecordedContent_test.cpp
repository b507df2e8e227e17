#include "installer/plugin/RecordedContent.h"

#include <gtest/gtest.h>

#include <string>

namespace setupkit {
namespace {

const std::wstring kA(64, L'a');
const std::wstring kB = std::wstring(63, L'0') + L'F';
const std::wstring kC(64, L'c');

TEST(RecordValue, IsWrittenOnlyForWholeHashesAndReadBackAsWritten) {
    EXPECT_EQ(recordValue({kA, L""}), kA);
    EXPECT_EQ(recordValue({kA, kB}), kA + L' ' + kB);
    EXPECT_EQ(parseRecordValue(kA + L' ' + kB)->content, (Content{kA, kB}));
    EXPECT_EQ(parseRecordValue(kA)->content, (Content{kA, L""}));
    EXPECT_TRUE(parseRecordValue(L"any")->anyContent);
    // What a failed hash would have stored, and what no Setup writes, names no content.
    const std::wstring twoHashes = kA + L' ' + kB;
    const std::wstring threeHashes = twoHashes + L' ' + kC;
    for (const std::wstring& bad :
         {std::wstring(), kA.substr(1), kA + L"0", std::wstring(64, L'g'), kA + L' ', threeHashes, L' ' + kA})
        EXPECT_FALSE(parseRecordValue(bad)) << bad.size();
    EXPECT_EQ(recordValue({L"", L""}), L"");
    EXPECT_EQ(recordValue({kA.substr(2), L""}), L"");
    EXPECT_EQ(recordValue({kA, L"x"}), L"");
}

TEST(RecordValue, ComparesTheContentAsWrittenThenWithoutTheServersWrite) {
    const RecordedContent database{false, {kA, kB}};
    const RecordedContent program{false, {kA, L""}};
    EXPECT_EQ(compare(database, {kA, kB}), Sameness::AsWritten);
    EXPECT_EQ(compare(database, {kC, kB}), Sameness::ChangedOnlyByTheServer);
    EXPECT_EQ(compare(database, {kC, kC}), Sameness::Changed);
    EXPECT_EQ(compare(program, {kA, L""}), Sameness::AsWritten);
    EXPECT_EQ(compare(program, {kC, L""}), Sameness::Changed);
    EXPECT_EQ(compare({true, {}}, {kC, kC}), Sameness::AsWritten);
}

// The card database as Setup installs it (LF, blank lines, a blank before "="), and as a profile
// writer leaves it after the server's one write: rewritten in its own layout, the section added.
const char kInstalled[] =
    "; Kelvane card database\n\n[Name_NV]\nKelvane Vortex 660=1\n\n[1_NV]\ncore_def=650\nvcore_max =1100\n\n"
    "[Version]\nVer=1\n";
const char kAfterServerWrite[] =
    "; Kelvane card database\r\n[Name_NV]\r\nKelvane Vortex "
    "660=1\r\n[1_NV]\r\ncore_def=650\r\nvcore_max=1100\r\n"
    "[Version]\r\nVer=1\r\n[Voltage]\r\nLarge=1075\r\n";

TEST(CardDatabaseText, TheServersWriteAndTheWritersLayoutDoNotCountOtherChangesDo) {
    const std::string installed = withoutServerWrite(kInstalled);
    EXPECT_EQ(installed,
              "; Kelvane card database\n[Name_NV]\nKelvane Vortex 660=1\n[1_NV]\ncore_def=650\n"
              "vcore_max=1100\n[Version]\nVer=1\n");
    EXPECT_EQ(withoutServerWrite(kAfterServerWrite), installed);
    EXPECT_EQ(withoutServerWrite(std::string(kAfterServerWrite) + "[voltage]\r\n LARGE = 1200 \r\n"),
              installed);
    const struct {
        const char* what;
        std::string text;
    } changed[] = {
        {"a default changed",
         std::string(kAfterServerWrite).replace(std::string(kAfterServerWrite).find("650"), 3, "700")},
        {"another key in the server's section", std::string(kAfterServerWrite) + "Small=900\r\n"},
        {"Large in another section", std::string(kInstalled) + "[Other]\nLarge=1\n"},
        {"a line added", std::string(kInstalled) + "; edited\n"},
    };
    for (const auto& c : changed) EXPECT_NE(withoutServerWrite(c.text), installed) << c.what;
}

}  // namespace
}  // namespace setupkit
