// Gpu.log in the machine's common application-data folder, and wide messages in the 8-bit file.

#include "support/GpuLog.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace kelvane {
namespace {

namespace fs = std::filesystem;

std::string contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Puts aside what a file of that path holds and gives it back afterwards.
class SetAside {
  public:
    explicit SetAside(fs::path path) : m_path(std::move(path)) {
        if (fs::exists(m_path)) m_contents = contentsOf(m_path);
        fs::remove(m_path);
    }
    ~SetAside() {
        fs::remove(m_path);
        if (m_contents) std::ofstream(m_path, std::ios::binary) << *m_contents;
    }

  private:
    fs::path m_path;
    std::optional<std::string> m_contents;
};

TEST(GpuLog, IsCreatedInTheCommonApplicationDataFolderAndThenOnlyAppended) {
    const std::wstring folder = GetSpecialFolder(CSIDL_COMMON_APPDATA);
    ASSERT_FALSE(folder.empty());
    const fs::path path = fs::path(folder) / L"Gpu.log";
    SetAside previous(path);

    ASSERT_FALSE(GpuLog.IsOpen());
    OpenGpuLog();
    ASSERT_TRUE(GpuLog.IsOpen());
    EXPECT_EQ(fs::path(GpuLog.Path()), path);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(contentsOf(path), "");

    EXPECT_TRUE(GpuLog.Write(L"Gpu InstanceID is: PCI\\VEN_10DE&DEV_1C82\\4&2A3F&0&0008\n"));
    OpenGpuLog();  // a second detection in the same run
    EXPECT_TRUE(GpuLog.Write(L"caf\u00e9 \u20ac\n"));
    const std::string firstRun = "Gpu InstanceID is: PCI\\VEN_10DE&DEV_1C82\\4&2A3F&0&0008\r\ncaf\xe9 ?\r\n";
    EXPECT_EQ(contentsOf(path), firstRun);

    GpuLog.Close();  // as the next run finds it
    OpenGpuLog();
    EXPECT_TRUE(GpuLog.Write(L"next run\n"));
    EXPECT_EQ(contentsOf(path), firstRun + "next run\r\n");
    GpuLog.Close();
}

TEST(GpuLog, SpecialFolderThatDoesNotExistIsEmpty) { EXPECT_EQ(GetSpecialFolder(0x7FFF), L""); }

}  // namespace
}  // namespace kelvane
