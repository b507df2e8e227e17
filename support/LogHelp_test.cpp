#include "support/LogHelp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace kelvane {
namespace {

namespace fs = std::filesystem;

class LogFile : public ::testing::Test {
  protected:
    fs::path folder = fs::temp_directory_path() /
                      ("kelvane-log-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                       "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::string path = (folder / "Gpu.log").string();
    BasicLogHelp<char> log;

    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }

    std::string contents() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void put(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }
};

TEST_F(LogFile, CreateEmptiesTheFileAndWritesAppendLinesWithCrLf) {
    put("old run\r\n");
    ASSERT_TRUE(log.Create(path));
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(log.Path(), path);
    EXPECT_EQ(contents(), "");
    EXPECT_TRUE(log.Write("Gpu InstanceID is: PCI\\VEN_10DE\n"));
    EXPECT_TRUE(log.Write("two\nlines\n"));
    EXPECT_EQ(contents(), "Gpu InstanceID is: PCI\\VEN_10DE\r\ntwo\r\nlines\r\n");
}

TEST_F(LogFile, OpenKeepsWhatTheFileHolds) {
    put("old run\r\n");
    ASSERT_TRUE(log.Open(path));
    EXPECT_TRUE(log.Write("new run\n"));
    EXPECT_EQ(contents(), "old run\r\nnew run\r\n");
}

TEST_F(LogFile, MessagesAreTextNotFormats) {
    ASSERT_TRUE(log.Create(path));
    EXPECT_TRUE(log.Write("%s%n%d %%\n"));
    EXPECT_EQ(contents(), "%s%n%d %%\r\n");
}

TEST_F(LogFile, FilesThatCannotBeOpenedLeaveTheLogClosed) {
    EXPECT_FALSE(log.Open(path)) << "Open needs an existing file";
    EXPECT_FALSE(log.Create((folder / "missing" / "Gpu.log").string()));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(log.Write("dropped\n"));
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(LogFile, WritesFailOnceTheFileIsGoneAndAfterClose) {
    ASSERT_TRUE(log.Create(path));
    fs::remove(path);
    EXPECT_FALSE(log.Write("lost\n")) << "a write never creates the file";
    EXPECT_FALSE(fs::exists(path));
    put("");
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(log.Write("after close\n"));
    EXPECT_EQ(contents(), "");
}

TEST(LogFileText, WideCharactersAboveOneByteBecomeQuestionMarks) {
    EXPECT_EQ(logFileText(std::wstring_view(L"caf\u00e9 \u20ac 1\n")), "caf\xe9 ? 1\r\n");
    EXPECT_EQ(logFileText(std::wstring_view(L"\r\n")), "\r\r\n")
        << "every line feed gets its carriage return";
}

#if GTEST_HAS_DEATH_TEST
TEST_F(LogFile, OpeningAnOpenLogIsAProgrammingError) {
    ASSERT_TRUE(log.Create(path));
    EXPECT_DEATH(log.Create(path), "Assertion failed: !IsOpen\\(\\), file support/LogHelp.h");
    EXPECT_DEATH(log.Open(path), "Assertion failed: !IsOpen\\(\\)");
}
#endif

}  // namespace
}  // namespace kelvane
