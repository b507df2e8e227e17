// A close under modal loops answers the message boxes of ours, and leaves a box that another library
// opened to that library and its user. (A process of its own: a close requested stays requested.)

#include "win32/ModalLoop.h"

#include <gtest/gtest.h>

#include "win32/Window.h"

namespace win32 {
namespace {

constexpr UINT kOpenLibraryBox = WM_APP;
constexpr UINT kAfterClose = WM_APP + 1;

// A main window as the server's, under whose handler a library opens a box of its own.
class MainWindow : public Window {
  public:
    MainWindow() { create(L"KelvaneTestModalLoopMain", L"main", WS_POPUP, 0, {0, 0, 10, 10}); }
    ~MainWindow() override { destroy(); }

    int libraryAnswer = 0;
    bool libraryBoxUpAfterClose = false;
    bool closedOnceNoLoopRan = false;

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case kOpenLibraryBox:
                ::PostMessageW(hwnd(), WM_CLOSE, 0, 0);  // comes while the library's box is up
                libraryAnswer = ::MessageBoxW(nullptr, L"library", L"library", MB_OKCANCEL);
                return 0;
            case WM_CLOSE:
                if (closeAfterModalLoops(hwnd()))
                    ::PostMessageW(hwnd(), kAfterClose, 0, 0);  // behind whatever the close posted
                else
                    closedOnceNoLoopRan = true;
                return 0;
            case kAfterClose:
                if (HWND box = ::FindWindowW(L"#32770", L"library")) {
                    libraryBoxUpAfterClose = ::IsWindowVisible(box) != FALSE;
                    ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0);  // its user answers it
                }
                return 0;
            default:
                return Window::handleMessage(message, wParam, lParam);
        }
    }
};

TEST(ModalLoop, ACloseAnswersOurBoxAndLeavesALibrarysBoxToItsUser) {
    MainWindow main;
    ::PostMessageW(main.hwnd(), kOpenLibraryBox, 0, 0);
    EXPECT_EQ(showMessageBox(L"ours", L"ours", MB_OKCANCEL), IDOK) << "answered by the close";
    EXPECT_TRUE(main.libraryBoxUpAfterClose);
    EXPECT_EQ(main.libraryAnswer, IDCANCEL) << "answered by its user, not by the close";
    // The close comes again once no loop runs.
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    EXPECT_TRUE(main.closedOnceNoLoopRan);
}

}  // namespace
}  // namespace win32
