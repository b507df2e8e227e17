// The server's tray manager in this process, against the board's notification area: what Setup
// sends and builds, and what the menu's items do.

#include "server/tray/TrayManager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mainboard/shelltray/ShellTray.h"
#include "support/NuMultiLang.h"
#include "win32/Application.h"
#include "win32/Handles.h"
#include "win32/ModalLoop.h"

namespace kelvane {
namespace {

// The smallest icon file: one 32-bit pixel and its mask.
void writeConnectIcon(const std::wstring& path) {
    // clang-format off
    const std::uint8_t bytes[] = {
        0, 0, 1, 0, 1, 0,                                   // icon directory: one image
        1, 1, 0, 0, 1, 0, 32, 0, 48, 0, 0, 0, 22, 0, 0, 0,  // 1 x 1, 32 bits, 48 bytes at 22
        40, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0,   // bitmap header: image and mask high
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x30, 0x80, 0x20, 0xFF,                             // the pixel
        0, 0, 0, 0,                                         // the mask row
    };
    // clang-format on
    win32::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(file && ::WriteFile(file.get(), bytes, sizeof bytes, &written, nullptr));
}

class TrayManager : public ::testing::Test {
  protected:
    void SetUp() override {
        ::CreateDirectoryW(resourceFolder().c_str(), nullptr);
        writeConnectIcon(resourceFolder() + L"\\connect.ico");
    }
    void TearDown() override {
        manager.reset();
        ::DeleteFileW((resourceFolder() + L"\\connect.ico").c_str());
        ::RemoveDirectoryW(resourceFolder().c_str());
    }
    static std::wstring resourceFolder() { return win32::executableFolder() + L"resource"; }

    std::vector<simboard::TrayMessage> adds() const {
        std::vector<simboard::TrayMessage> found;
        for (const simboard::TrayMessage& m : shell.messages())
            if (m.message == NIM_ADD) found.push_back(m);
        return found;
    }
    // A right-button release over the icon with keys waiting for the menu it pops up.
    void chooseFromMenu(std::initializer_list<WPARAM> keys) {
        for (WPARAM key : keys) ::PostMessageW(mainWindow.get(), WM_KEYDOWN, key, 0);
        ::SendMessageW(manager->trayIcon()->hwnd(), kTrayCallbackMessage, 0, WM_RBUTTONUP);
    }
    void handlePostedMessages() {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }

    simboard::ShellTray shell;
    win32::UniqueWindow mainWindow{
        ::CreateWindowExW(0, L"STATIC", L"main", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr)};
    int aboutShown = 0;
    std::unique_ptr<TTrayManager> manager =
        std::make_unique<TTrayManager>(mainWindow.get(), [this] { ++aboutShown; });
};

// The tray's tip and the About box's first line are the product's name as CMakeLists.txt states it,
// and they must read "Kelvane Server": renaming the product there would change them unseen.
TEST(ProductName, IsTheTextOfTheTraysTipAndTheAboutBoxsFirstLine) {
    EXPECT_STREQ(L"" KV_PRODUCT_NAME, L"Kelvane Server");
    EXPECT_STREQ(kTrayHint, L"Kelvane Server");
}

TEST_F(TrayManager, SetupAddsTheIconWithTheServersTextsAndBuildsTheMenu) {
    manager->Setup();
    const std::vector<simboard::TrayMessage> added = adds();
    ASSERT_EQ(added.size(), 1u);
    EXPECT_TRUE(added[0].accepted);
    EXPECT_EQ(added[0].id, 1u);
    EXPECT_EQ(added[0].callbackMessage, 1114u);
    EXPECT_EQ(added[0].tip, u"Kelvane Server");
    EXPECT_EQ(added[0].balloonFlags, 4u) << "NIIF_USER, for a balloon to come";
    EXPECT_FALSE(manager->retrying());

    HMENU menu = manager->popupMenu();
    ASSERT_EQ(::GetMenuItemCount(menu), 3);
    const struct {
        UINT type;
        UINT id;
        std::wstring caption;
    } items[] = {{MFT_STRING, 1, NuTranslate(L"About")},
                 {MFT_SEPARATOR, 2, L""},
                 {MFT_STRING, 3, NuTranslate(L"Exit")}};
    for (int i = 0; i < 3; ++i) {
        wchar_t caption[64] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = caption;
        info.cch = 64;
        ASSERT_TRUE(::GetMenuItemInfoW(menu, i, TRUE, &info)) << i;
        EXPECT_EQ(info.fType, items[i].type) << i;
        EXPECT_EQ(info.wID, items[i].id) << "the item's tag + 1";
        EXPECT_EQ(std::wstring(caption), items[i].caption) << i;
    }
}

TEST_F(TrayManager, AnIconTheShellRefusesIsRetriedAndTeardownStopsIt) {
    shell.refuseAdds(1);
    manager->Setup();
    EXPECT_FALSE(manager->trayIcon()->Visible());
    EXPECT_TRUE(manager->retrying());
    manager->Teardown();
    EXPECT_FALSE(manager->retrying());
    EXPECT_EQ(manager->trayIcon(), nullptr);
    manager->Teardown();  // and again, as the destructor does
}

TEST_F(TrayManager, AboutShowsTheAboutBoxAndExitClosesTheMainWindowOnceTheMenuIsGone) {
    manager->Setup();
    chooseFromMenu({VK_DOWN, VK_RETURN});
    EXPECT_EQ(aboutShown, 1);
    chooseFromMenu({VK_ESCAPE});
    chooseFromMenu({VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});  // past the end back to "About"
    EXPECT_EQ(aboutShown, 2);
    handlePostedMessages();
    EXPECT_TRUE(::IsWindow(mainWindow.get()));

    chooseFromMenu({VK_UP, VK_RETURN});
    EXPECT_TRUE(::IsWindow(mainWindow.get())) << "the close is posted, not done under the menu";
    handlePostedMessages();
    EXPECT_FALSE(::IsWindow(mainWindow.get()));
    EXPECT_EQ(aboutShown, 2);
    (void)mainWindow.release();  // the window is gone
}

// A main window as the server's: a close under a modal loop waits for it, and the window's end
// frees the tray manager.
struct ServerLikeWindow {
    static inline std::function<void()> onDestroy;
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CLOSE && win32::closeAfterModalLoops(window)) return 0;
        if (message == WM_DESTROY && onDestroy) onDestroy();
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
};

TEST_F(TrayManager, ACloseWhileTheMenuIsUpFreesTheManagerOnlyOnceTheMenuCallIsOver) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &ServerLikeWindow::proc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ServerLikeWindow";
    ASSERT_TRUE(::RegisterClassW(&windowClass));
    HWND main = ::CreateWindowExW(0, L"ServerLikeWindow", L"main", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_TRUE(main);
    manager = std::make_unique<TTrayManager>(main, [] {});
    manager->Setup();
    const simboard::TrayMessage added = adds().at(0);
    bool inMouseUp = false, freed = false, freedUnderTheMenuCall = false;
    ServerLikeWindow::onDestroy = [&] {
        freed = true;
        freedUnderTheMenuCall = inMouseUp;
        manager.reset();
    };
    ::PostMessageW(main, WM_CLOSE, 0, 0);  // taken by the menu's loop
    inMouseUp = true;
    ::SendMessageW(manager->trayIcon()->hwnd(), kTrayCallbackMessage, 0, WM_RBUTTONUP);
    inMouseUp = false;
    EXPECT_TRUE(::IsWindow(main)) << "closed under the menu";
    handlePostedMessages();
    EXPECT_TRUE(freed);
    EXPECT_FALSE(freedUnderTheMenuCall);
    EXPECT_FALSE(::IsWindow(main));
    EXPECT_FALSE(shell.holds(added.window, added.id)) << "the icon went with the manager";
    ServerLikeWindow::onDestroy = nullptr;
}

}  // namespace
}  // namespace kelvane
