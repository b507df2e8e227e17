// The resources of the built tiktor.exe, read from the file as Windows reads them.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "e2e/tiktor/TiktorProgram.h"
#include "win32/Handles.h"
#include "win32/Text.h"
#include "win32/VersionResource.h"

namespace tiktor_e2e {
namespace {

constexpr WORD kTraditionalChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL);  // 1028, 0x0404

// The bytes of one resource of a given language; empty when the file has no such resource.
std::vector<std::uint8_t> resourceBytes(HMODULE file, LPCWSTR type, WORD id, WORD language) {
    HRSRC found = ::FindResourceExW(file, type, MAKEINTRESOURCEW(id), language);
    if (!found) return {};
    const auto* data = static_cast<const std::uint8_t*>(::LockResource(::LoadResource(file, found)));
    return data ? std::vector<std::uint8_t>(data, data + ::SizeofResource(file, found))
                : std::vector<std::uint8_t>{};
}

// Reads a dialog template front to back; every read past the end fails the test and yields zeros.
class TemplateReader {
  public:
    explicit TemplateReader(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}

    template <typename T>
    T read() {
        T value{};
        if (m_at + sizeof(T) > m_bytes.size()) {
            ADD_FAILURE() << "template ends at " << m_bytes.size() << ", wanted " << sizeof(T) << " more at "
                          << m_at;
            m_at = m_bytes.size();
            return value;
        }
        std::memcpy(&value, m_bytes.data() + m_at, sizeof(T));
        m_at += sizeof(T);
        return value;
    }

    std::wstring text() {
        std::wstring s;
        for (wchar_t c; (c = static_cast<wchar_t>(read<WORD>())) != L'\0';) s += c;
        return s;
    }

    // A sz_Or_Ord field: 0xFFFF and an ordinal, or a text. Ordinals come back as "#n".
    std::wstring textOrOrdinal() {
        if (peekWord() == 0xFFFF) {
            read<WORD>();
            return L"#" + std::to_wstring(read<WORD>());
        }
        return text();
    }

    void alignToDword() { m_at = (m_at + 3) & ~std::size_t{3}; }

  private:
    WORD peekWord() const {
        WORD w = 0;
        if (m_at + sizeof w <= m_bytes.size()) std::memcpy(&w, m_bytes.data() + m_at, sizeof w);
        return w;
    }
    const std::vector<std::uint8_t>& m_bytes;
    std::size_t m_at = 0;
};

class TiktorResources : public ::testing::Test {
  protected:
    void SetUp() override {
        ::SetLastError(0xdeadbeef);
        file.reset(::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(file) << "cannot open " << ::GetLastError();
    }
    const std::wstring program = builtFile(L"bin\\tiktor.exe");
    win32::UniqueModule file;
};

TEST_F(TiktorResources, Dialog102IsTheExtendedTraditionalChineseTemplateWithOneExitButton) {
    const std::vector<std::uint8_t> bytes = resourceBytes(file.get(), RT_DIALOG, 102, kTraditionalChinese);
    ASSERT_FALSE(bytes.empty());
    TemplateReader t(bytes);
    EXPECT_EQ(t.read<WORD>(), 1);       // dlgVer
    EXPECT_EQ(t.read<WORD>(), 0xFFFF);  // signature of an extended template
    t.read<DWORD>();                    // helpID
    EXPECT_EQ(t.read<DWORD>(), static_cast<DWORD>(WS_EX_APPWINDOW));
    EXPECT_EQ(t.read<DWORD>(), static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                                                  DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(t.read<WORD>(), 1);  // controls
    const short x = t.read<short>(), y = t.read<short>(), cx = t.read<short>(), cy = t.read<short>();
    EXPECT_EQ((std::vector<short>{x, y, cx, cy}), (std::vector<short>{0, 0, 230, 79}));
    EXPECT_EQ(t.textOrOrdinal(), L"");  // no menu
    EXPECT_EQ(t.textOrOrdinal(), L"");  // the standard dialog class
    EXPECT_EQ(t.text(), L"Tiktor Tester");
    EXPECT_EQ(t.read<WORD>(), 9);                      // points
    t.read<WORD>();                                    // weight
    EXPECT_EQ(t.read<BYTE>(), 0);                      // not italic
    EXPECT_EQ(t.read<BYTE>(), 1);                      // character set
    EXPECT_EQ(t.text(), L"\u65B0\u7D30\u660E\u9AD4");  // 新細明體

    t.alignToDword();
    t.read<DWORD>();  // helpID
    EXPECT_EQ(t.read<DWORD>(), 0u);
    const DWORD style = t.read<DWORD>();
    EXPECT_EQ(style & 0xFu, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_TABSTOP),
              static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_TABSTOP));
    const short bx = t.read<short>(), by = t.read<short>(), bcx = t.read<short>(), bcy = t.read<short>();
    EXPECT_EQ((std::vector<short>{bx, by, bcx, bcy}), (std::vector<short>{153, 43, 70, 29}));
    EXPECT_EQ(t.read<DWORD>(), static_cast<DWORD>(IDOK));
    EXPECT_EQ(t.textOrOrdinal(), L"#128");  // the button class
    EXPECT_EQ(t.textOrOrdinal(), L"Exit");
}

TEST_F(TiktorResources, IconGroup128HoldsALargeAndASmallIcon) {
    const std::vector<std::uint8_t> group =
        resourceBytes(file.get(), RT_GROUP_ICON, 128, kTraditionalChinese);
    ASSERT_GE(group.size(), 6u);
    TemplateReader g(group);
    g.read<WORD>();
    EXPECT_EQ(g.read<WORD>(), 1);  // icons, not cursors
    const WORD count = g.read<WORD>();
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        sizes.push_back(g.read<BYTE>());
        for (int skip = 0; skip < 13; ++skip) g.read<BYTE>();  // the rest of the 14-byte entry
    }
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), 32), sizes.end());
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), 16), sizes.end());
}

TEST_F(TiktorResources, VersionIs1003InATraditionalChineseUnicodeStringTable) {
    const auto resource = win32::VersionResource::read(program);
    ASSERT_TRUE(resource);
    EXPECT_EQ(resource->fileVersion(), "1.0.0.3");
    EXPECT_EQ(resource->productVersion(), "1.0.0.3");
    EXPECT_EQ(resource->language(), kTraditionalChinese);
    EXPECT_EQ(resource->codePage(), 1200);  // Unicode
    EXPECT_EQ(resource->text(L"FileVersion"), L"1.0.0.3");
    EXPECT_EQ(resource->text(L"ProductVersion"), L"1.0.0.3");
}

}  // namespace
}  // namespace tiktor_e2e
