// The About box of a running server, seen and driven from outside as a person meets it: on the
// screen, with the pointer and the keyboard, with its skin files and the registry as installed.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "e2e/server/ServerRun.h"
#include "mainboard/machine/Translations.h"
#include "mainboard/pngcodec/PngCodec.h"
#include "mainboard/shelltray/ShellTray.h"
#include "protocol/ServerWindows.h"
#include "server/tray/TrayManager.h"
#include "server/tray/TrayRules.h"
#include "win32/Text.h"

namespace server_e2e {
namespace {

constexpr wchar_t kSuiteKey[] = L"SOFTWARE\\NOVU\\NOVU Vexolink";

// The suite's "Version" value as raw bytes of a type, or no value.
void setSuiteVersion(std::optional<std::wstring> text, DWORD type = REG_SZ, bool terminated = true) {
    if (!text) {
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSuiteKey, L"Version");
        return;
    }
    const DWORD bytes = static_cast<DWORD>((text->size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
    ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSuiteKey, L"Version", type, text->c_str(), bytes),
              ERROR_SUCCESS);
}

// A skin file of the build, decoded by the board's own decoder.
struct SkinPicture {
    simboard::PngRecord record{};
    explicit SkinPicture(const wchar_t* name) {
        std::ifstream file(win32::narrow(e2e::builtFile(L"bin\\resource\\" + std::wstring(name))),
                           std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), {});
        std::size_t at = 0;
        std::string why;
        simboard::decodePng(
            [&](std::uint8_t* buffer, std::int32_t count) {
                const std::size_t n =
                    std::min<std::size_t>(static_cast<std::size_t>(count), bytes.size() - at);
                std::copy_n(bytes.data() + at, n, buffer);
                at += n;
                return static_cast<std::int32_t>(n);
            },
            record, why);
        EXPECT_NE(record.rows, nullptr) << win32::narrow(name) << ": " << why;
    }
    ~SkinPicture() { simboard::freePng(record); }
    int width() const { return static_cast<int>(record.width); }
    int height() const { return static_cast<int>(record.height); }
    // R, G, B and alpha (255 for a picture without alpha).
    std::array<std::uint8_t, 4> at(int x, int y) const {
        const std::size_t step = record.colourType == simboard::kPngColourRgba ? 4 : 3;
        const std::uint8_t* p = record.rows[y] + x * step;
        return {p[0], p[1], p[2], step == 4 ? p[3] : std::uint8_t{255}};
    }
};

// A message that carries a pointer, sent to a window of another process: what it points to is
// written into that process first, as the system does for the messages it makes.
LRESULT sendWithRemoteRect(HWND window, UINT message, WPARAM wParam, const RECT& rect) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    const win32::UniqueHandle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, processId));
    EXPECT_TRUE(process) << ::GetLastError();
    void* remote = ::VirtualAllocEx(process.get(), nullptr, sizeof rect, MEM_COMMIT, PAGE_READWRITE);
    EXPECT_TRUE(remote && ::WriteProcessMemory(process.get(), remote, &rect, sizeof rect, nullptr));
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, message, wParam, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL,
                          e2e::kPatienceMs, &result);
    ::VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    return static_cast<LRESULT>(result);
}

class AboutBoxTest : public ServerTest {
  protected:
    HWND startAndFindBox() {
        start();
        HWND box = nullptr;
        EXPECT_TRUE(e2e::waitUntil(
            [&] { return (box = run->findWindow(wire::kAboutBoxClass, wire::kAboutBoxCaption)) != nullptr; },
            e2e::kPatienceMs))
            << "no About box";
        waitUntilStarted();  // and so its creation is over
        return box;
    }
    static bool show(HWND box) {
        ::ShowWindow(box, SW_SHOW);
        ::SetForegroundWindow(box);
        return e2e::waitUntil([&] { return ::IsWindowVisible(box) != FALSE; }, e2e::kPatienceMs);
    }
    static bool hidden(HWND box) {
        return e2e::waitUntil([&] { return !::IsWindowVisible(box); }, e2e::kPatienceMs);
    }
    static RECT clientOnScreen(HWND window) {
        RECT r;
        ::GetClientRect(window, &r);
        ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    // The box's client area of that size, the box centred on the screen.
    static void expectCentredAtSize(HWND box, int width, int height) {
        RECT client;
        ::GetClientRect(box, &client);
        EXPECT_EQ(client.right, width);
        EXPECT_EQ(client.bottom, height);
        RECT frame;
        ::GetWindowRect(box, &frame);
        EXPECT_NEAR(frame.left + frame.right, ::GetSystemMetrics(SM_CXSCREEN), 1) << "centred";
        EXPECT_NEAR(frame.top + frame.bottom, ::GetSystemMetrics(SM_CYSCREEN), 1) << "centred";
    }
    // The children of a class: their text and where they lie in the box's client area.
    static std::vector<std::pair<std::string, RECT>> children(HWND box, const char* className) {
        std::vector<std::pair<std::string, RECT>> found;
        for (HWND c = nullptr; (c = ::FindWindowExA(box, c, className, nullptr));) {
            RECT r;
            ::GetWindowRect(c, &r);
            ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
            found.emplace_back(e2e::controlText(c), r);
        }
        return found;
    }
};

TEST_F(AboutBoxTest, IsMadeHiddenAtStartInTheSkinsSizeWithTheTranslatedButtonAndThreeLines) {
    setSuiteVersion(std::nullopt);
    simboard::storeWord(machine.state().uiLanguage, *simboard::languageNamed("zh-TW"));
    // A PNG library that leaves the record's field of its own empty: the skin is read all the same.
    simboard::setFault(machine.state().faults.pngLibraryFieldZero, simboard::kFaultAlways);
    HWND box = startAndFindBox();
    ASSERT_TRUE(box);
    EXPECT_FALSE(::IsWindowVisible(box));
    EXPECT_EQ(::GetWindow(box, GW_OWNER), form) << "owned by the main window: no taskbar button of its own";
    EXPECT_EQ(::GetWindowLongW(box, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_POPUP), WS_POPUP);

    const SkinPicture background(L"popup_bg08.png"), face(L"button01_n.png");
    expectCentredAtSize(box, background.width(), background.height());  // not the design's 410 x 293

    const auto buttons = children(box, "GsButton");
    ASSERT_EQ(buttons.size(), 1u);
    EXPECT_EQ(buttons[0].first, win32::narrow(L"\u78ba\u5b9a")) << "\"OK\" in Traditional Chinese";
    EXPECT_EQ(buttons[0].second.left, 245);
    EXPECT_EQ(buttons[0].second.top, 166);
    EXPECT_EQ(buttons[0].second.right - 245, face.width());
    EXPECT_EQ(buttons[0].second.bottom - 166, face.height());

    const auto labels = children(box, "SkinLabel");
    ASSERT_EQ(labels.size(), 3u);
    const char* texts[] = {"Kelvane Server", "V1.00.09", "Kelvane Software"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(labels[i].first, texts[i]);
        EXPECT_EQ(labels[i].second.left, 150);
        EXPECT_EQ(labels[i].second.top, 75 + 20 * static_cast<int>(i));
        EXPECT_GT(labels[i].second.right - labels[i].second.left, 40) << "sized to its text";
    }
}

TEST_F(AboutBoxTest, ShowsTheRegistrysVersionOnlyWhenItIsTextThatFitsItsBuffer) {
    struct Case {
        const char* what;
        std::optional<std::wstring> value;
        DWORD type;
        bool terminated;
        bool shown;
    };
    const Case cases[] = {
        {"a version", L"V2.10.03", REG_SZ, true, true},
        {"129 characters and terminator: 260 bytes", std::wstring(129, L'7'), REG_SZ, true, true},
        {"130 characters: 262 bytes", std::wstring(130, L'7'), REG_SZ, true, false},
        {"200 characters", std::wstring(200, L'7'), REG_SZ, true, false},
        {"260 bytes without a terminator", std::wstring(130, L'7'), REG_SZ, false, false},
        {"not REG_SZ", L"%SystemRoot%", REG_EXPAND_SZ, true, false},
    };
    for (const Case& c : cases) {
        setSuiteVersion(c.value, c.type, c.terminated);
        HWND box = startAndFindBox();
        const auto labels = children(box, "SkinLabel");
        ASSERT_EQ(labels.size(), 3u) << c.what;
        EXPECT_EQ(labels[1].first, c.shown ? win32::narrow(*c.value) : "V1.00.09") << c.what;
        run.reset();
    }
    setSuiteVersion(std::nullopt);
}

// The box as the screen shows it, kept as a PNG in the build's screenshots folder (the pictures of
// docs/images come from there).
void keepScreenshot(HWND box, const wchar_t* name) {
    RECT client;
    ::GetClientRect(box, &client);
    ::MapWindowPoints(box, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const e2e::ScreenImage shot = e2e::captureScreen(client);
    simboard::PngRecord record{};
    ASSERT_TRUE(simboard::allocatePng(static_cast<std::uint32_t>(shot.width),
                                      static_cast<std::uint32_t>(shot.height), simboard::kPngColourRgb,
                                      record));
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const COLORREF c = shot.pixel(x, y);
            std::uint8_t* p = record.rows[y] + x * 3;
            p[0] = GetRValue(c), p[1] = GetGValue(c), p[2] = GetBValue(c);
        }
    const std::vector<std::uint8_t> png = simboard::encodePng(record);
    simboard::freePng(record);
    const std::wstring folder = e2e::builtFile(L"screenshots");
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::ofstream(win32::narrow(folder + L"\\" + name), std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

// The button's faces as the screen shows them: a point of the button where all three faces are opaque
// and differ, and their colours there.
struct FacePoint {
    POINT at{-1, -1};
    COLORREF raised = 0, sunken = 0, hovered = 0;
};

FacePoint distinctFacePoint() {
    const SkinPicture n(L"button01_n.png"), d(L"button01_d.png"), o(L"button01_o.png");
    const int y = n.height() / 2;
    for (int x = 3; x < n.width() / 4; ++x) {
        const auto a = n.at(x, y), b = d.at(x, y), c = o.at(x, y);
        if (a[3] == 255 && b[3] == 255 && c[3] == 255 && a != b && a != c && b != c)
            return {{x, y}, RGB(a[0], a[1], a[2]), RGB(b[0], b[1], b[2]), RGB(c[0], c[1], c[2])};
    }
    return {};
}

TEST_F(AboutBoxTest, FacesFollowThePointerOnScreenAndOkHidesTheBoxUntilShownAgain) {
    setSuiteVersion(L"V5.01");
    HWND box = startAndFindBox();
    ASSERT_TRUE(show(box));
    HWND button = ::FindWindowExA(box, nullptr, "GsButton", nullptr);
    const FacePoint face = distinctFacePoint();
    ASSERT_GE(face.at.x, 0) << "the artwork's faces must differ where they are opaque";
    const RECT place = clientOnScreen(button);
    const auto shows = [&](COLORREF expected) {
        return e2e::waitUntil(
            [&] {
                const RECT probe{place.left + face.at.x, place.top + face.at.y, place.left + face.at.x + 1,
                                 place.top + face.at.y + 1};
                return e2e::captureScreen(probe).pixel(0, 0) == expected;
            },
            e2e::kPatienceMs);
    };
    const POINT middle{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
    ::SetCursorPos(place.left - 30, place.top - 30);
    EXPECT_TRUE(shows(face.raised)) << "raised when shown";
    keepScreenshot(box, L"about-box.png");
    ::SetCursorPos(middle.x, middle.y);
    EXPECT_TRUE(shows(face.hovered)) << "hovered";
    keepScreenshot(box, L"about-box-hovered.png");
    ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    EXPECT_TRUE(shows(face.sunken)) << "pressed";
    keepScreenshot(box, L"about-box-pressed.png");
    // Dragged out of the box, not only off the button: wine follows the release with a pointer move of
    // its own at the release point, and a move that arrives while that one waits in the box's queue is
    // lost, so the move back below would never reach the button. Outside the box, that move is not
    // the box's.
    RECT frame;
    ::GetWindowRect(box, &frame);
    ::SetCursorPos(frame.right + 20, middle.y);
    EXPECT_TRUE(shows(face.raised)) << "dragged out while pressed";
    ::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);

    setSuiteVersion(L"V6.00");  // read once, at creation
    ::SetCursorPos(middle.x, middle.y);
    ASSERT_TRUE(shows(face.hovered));
    // The box's thread takes the pointer's events in order: the move back has been handled, so the
    // release before it has been too.
    EXPECT_TRUE(::IsWindowVisible(box)) << "released outside: no click";
    ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    ::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    EXPECT_TRUE(hidden(box)) << "OK hides the box";
    EXPECT_TRUE(::IsWindow(box)) << "hidden, not destroyed";
    ::SetCursorPos(0, 0);
    ASSERT_TRUE(show(box));
    EXPECT_TRUE(shows(face.raised)) << "no face stays hovered from before";
    EXPECT_EQ(children(box, "SkinLabel")[1].first, "V5.01");
    setSuiteVersion(std::nullopt);
}

TEST_F(AboutBoxTest, KeyboardClosesItWithSpaceOnTheFocusedButtonEnterOrEsc) {
    HWND box = startAndFindBox();
    HWND button = ::FindWindowExA(box, nullptr, "GsButton", nullptr);
    const auto key = [&](HWND target, WPARAM code, bool down) {
        ::PostMessageW(target, down ? WM_KEYDOWN : WM_KEYUP, code, down ? 1 : 0xC0000001);
    };
    const auto focus = [&] {
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(box, nullptr), &thread);
        return thread.hwndFocus;
    };
    ASSERT_TRUE(show(box));
    EXPECT_TRUE(e2e::waitUntil([&] { return focus() == box; }, e2e::kPatienceMs))
        << "the box has the focus, not its button";
    key(box, VK_TAB, true);
    key(box, VK_TAB, false);
    EXPECT_TRUE(e2e::waitUntil([&] { return focus() == button; }, e2e::kPatienceMs))
        << "Tab gives it to the button";
    key(button, VK_SPACE, true);
    EXPECT_TRUE(::IsWindowVisible(box)) << "Space pressed: not yet";
    key(button, VK_SPACE, false);
    EXPECT_TRUE(hidden(box)) << "Space released on the button";
    for (WPARAM code : {WPARAM{VK_ESCAPE}, WPARAM{VK_RETURN}}) {
        ASSERT_TRUE(show(box));
        key(box, code, true);
        key(box, code, false);
        EXPECT_TRUE(hidden(box)) << (code == VK_ESCAPE ? "Esc" : "Enter");
    }
}

TEST_F(AboutBoxTest, MissingOrBrokenSkinFileIsReportedOnceAndTheBoxStaysUsable) {
    struct Case {
        const wchar_t* file;
        const wchar_t* largerFile;      // broken as well, when the file is (the 2x set's)
        bool broken;                    // there but no PNG; else missing
        int width, height;              // of the box's client area; 0: the background's
        int buttonWidth, buttonHeight;  // 0: the face's
    };
    const Case cases[] = {
        {L"popup_bg08.png", nullptr, false, 410, 293, 0, 0},
        {L"button01_n.png", nullptr, false, 0, 0, 75, 25},
        {L"button01_o.png", L"button01_o@2x.png", true, 0, 0, 0, 0},
    };
    const SkinPicture background(L"popup_bg08.png"), face(L"button01_d.png");
    for (const Case& c : cases) {
        const std::string name = win32::narrow(c.file);
        run.reset();  // the last run ends before its folder goes, and that before the next one's
        folder.reset();
        layOut({.skinFilesLeftOut = {c.file}});
        if (c.broken)
            for (const wchar_t* file : {c.file, c.largerFile})
                folder->add(e2e::builtFile(L"bin\\Info.ini"), L"resource\\" + std::wstring(file));
        run = std::make_unique<e2e::ProgramRun>(*folder, L"kelvane.exe");
        std::string text;
        // Start-up sleeps 3 s first, and a shell tray still tidying up after the last run's icon
        // can hold the tray's set-up for a second or two.
        HWND report = e2e::waitForMessageBox(*run, text, e2e::kPatienceMs);
        ASSERT_TRUE(report) << name;
        EXPECT_NE(text.find(c.broken ? "Cannot read the image" : "Cannot open file"), std::string::npos)
            << text;
        EXPECT_NE(text.find(name), std::string::npos) << text;
        // Only a read that filled the record has it freed.
        std::size_t filled = 0;
        for (const Call& read : callsTo("ReadPngEx")) filled += read.result != 0 ? 1 : 0;
        EXPECT_EQ(callsTo("FreePngData").size(), filled) << name;
        if (c.broken) {
            EXPECT_LT(filled, callsTo("ReadPngEx").size()) << name << ": a failed read";
        }
        ::PostMessageW(report, WM_COMMAND, IDOK, 0);
        HWND box = nullptr;
        ASSERT_TRUE(e2e::waitUntil(
            [&] { return (box = run->findWindow(wire::kAboutBoxClass, wire::kAboutBoxCaption)) != nullptr; },
            e2e::kPatienceMs));
        waitUntilStarted();
        EXPECT_EQ(e2e::waitForMessageBox(*run, text, e2e::kQuietMs), nullptr) << "reported once: " << text;
        RECT client;
        ::GetClientRect(box, &client);
        EXPECT_EQ(client.right, c.width ? c.width : background.width()) << name;
        EXPECT_EQ(client.bottom, c.height ? c.height : background.height()) << name;
        HWND button = ::FindWindowExA(box, nullptr, "GsButton", nullptr);
        ASSERT_TRUE(button) << name;
        RECT r;
        ::GetWindowRect(button, &r);
        EXPECT_EQ(r.right - r.left, c.buttonWidth ? c.buttonWidth : face.width()) << name;
        EXPECT_EQ(r.bottom - r.top, c.buttonHeight ? c.buttonHeight : face.height()) << name;
        ASSERT_TRUE(show(box));
        ::PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        ::PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        EXPECT_TRUE(hidden(box)) << name << ": its button still closes it";
        if (c.broken) {
            // Laid out again for a screen at 200 %, the skin loaded anew: the face is still broken in
            // both sets, and that was reported at start.
            sendWithRemoteRect(box, WM_DPICHANGED, MAKEWPARAM(192, 192), RECT{0, 0, 800, 480});
            EXPECT_EQ(e2e::waitForMessageBox(*run, text, e2e::kQuietMs), nullptr)
                << "reported again: " << text;
            ::GetClientRect(box, &client);
            EXPECT_EQ(client.right, 2 * background.width());
        }
        run.reset();
        folder.reset();  // the next case's folder has the same name
    }
}

// A failed assertion means that the program is ending. Pixread.dll missing is met when the About box
// is made, with the remote link registered and the NVIDIA back end active: from then on nothing
// reaches the cards. A set sent while the report is up stays unanswered, as with a server that has
// ended, the default timer runs no more and the tray starts nothing; OK ends the program with 3.
TEST_F(AboutBoxTest, MissingPixreadStopsTheProgramAtTheFirstSkinImageAndNothingActsAfterIt) {
    layOut({.replaced = {{L"Pixread.dll", L""}}});
    ASSERT_TRUE(start());
    std::string text;
    HWND report = waitForMessageBox(text);
    ASSERT_TRUE(report);
    const std::uint64_t reported = e2e::lastSeq();
    EXPECT_EQ(text, "Assertion failed: m_hinst, file PngReader.cpp, line 88");
    ASSERT_FALSE(callsTo("Nv_Initialize").empty()) << "the back end is active";
    // A balloon click would start the suite, a right click pop up the menu: handled, if at all,
    // while the set below waits.
    HWND icon = run->findWindow(kelvane::kTrayIconWindowClass, nullptr);
    ASSERT_TRUE(icon);
    for (const std::uint32_t event : {kelvane::kBalloonUserClick, std::uint32_t{WM_RBUTTONUP}})
        ::PostMessageW(icon, kelvane::kTrayCallbackMessage, kelvane::kTrayIconId, event);
    // The remote side waits as long as two periods of the default timer and a margin.
    constexpr DWORD kWatchMs = 2 * kDefaultPeriodMs + e2e::kQuietMs;
    const simboard::LinkResult set = console.request({0x20070320, 0x0384044C, 0x002C0000}, kWatchMs);
    EXPECT_EQ(set.status, KVR_TIMED_OUT_WITHDRAWN) << "answered after the assertion";
    EXPECT_EQ(calls(reported).size(), 0u) << "calls while the report is up";
    EXPECT_EQ(callsTo(kDefaultFanEntry).size(), 0u) << "defaults applied after the assertion";
    for (const simboard::JournalRecord& r : simboard::readJournal(machine.state(), reported))
        EXPECT_NE(r.library, "Tunedeck II") << "the suite started after the assertion";
    for (HWND menu = nullptr; (menu = ::FindWindowExW(nullptr, menu, L"#32768", nullptr));) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(menu, &owner);
        EXPECT_FALSE(owner == run->processId() && ::IsWindowVisible(menu))
            << "the tray menu after the assertion";
    }
    ::PostMessageW(report, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(run->waitForExit(e2e::kPatienceMs), std::optional<DWORD>(3));
}

// A program folder whose name the system's ANSI code page cannot say: the PNG library is loaded by
// its wide path, and the box shows its skin.
TEST_F(AboutBoxTest, ShowsFromAProgramFolderWhoseNameTheAnsiCodePageCannotSay) {
    const std::wstring name = L"Kelvane \u4e2d\u6587 \u0416";
    BOOL lossy = FALSE;
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, nullptr, 0, nullptr, &lossy);
    ASSERT_TRUE(lossy) << "the ANSI code page " << ::GetACP() << " can say the name";
    layOut({.folderName = name});
    HWND box = startAndFindBox();
    ASSERT_TRUE(box);
    std::string text;
    EXPECT_EQ(e2e::waitForMessageBox(*run, text, 0), nullptr) << text;
    ASSERT_TRUE(show(box));
    const SkinPicture background(L"popup_bg08.png");
    expectCentredAtSize(box, background.width(), background.height());
    keepScreenshot(box, L"about-box-wide-folder.png");
}

// The screen's scale of the prefix this test runs in: 96 DPI in the tests' own, 144 and 192 in the
// prefixes of e2e/server/run-at-dpi, which names it in KV_DISPLAY_DPI.
int displayDpi() {
    char named[16] = "";
    return ::GetEnvironmentVariableA("KV_DISPLAY_DPI", named, sizeof named) ? std::atoi(named) : 96;
}

// What a person sees of the server at each scale: the box's client size, the button's place and
// size, the lines' left edge, tops and height, and the tray icon's size.
struct ScaleLook {
    int dpi;
    const wchar_t* background;  // the skin set's file
    SIZE box;
    std::array<LONG, 4> button;  // left, top, width, height
    int lineLeft;
    std::array<int, 3> lineTops;
    int lineHeight;  // the font's height
    int icon;
};
constexpr ScaleLook kLooks[] = {
    {96, L"popup_bg08.png", {400, 240}, {245, 166, 112, 34}, 150, {75, 95, 115}, 16, 16},
    {144, L"popup_bg08@1.5x.png", {600, 360}, {368, 249, 168, 51}, 225, {113, 143, 173}, 24, 24},
    {192, L"popup_bg08@2x.png", {800, 480}, {490, 332, 224, 68}, 300, {150, 190, 230}, 32, 32},
};

// The server with the board's notification area in place, at the prefix's display scale.
class DisplayScaleTest : public AboutBoxTest {
  protected:
    void SetUp() override {
        AboutBoxTest::SetUp();
        ::SetProcessDPIAware();  // the test reads the screen and the windows in pixels as they are
        const ScreenDC screen;
        ASSERT_EQ(::GetDeviceCaps(screen.dc, LOGPIXELSX), displayDpi()) << "the prefix is not at the scale";
        for (const ScaleLook& l : kLooks)
            if (l.dpi == displayDpi()) look = &l;
        ASSERT_TRUE(look) << "no expectations for " << displayDpi() << " DPI";
    }
    struct ScreenDC {
        HDC dc = ::GetDC(nullptr);
        ~ScreenDC() { ::ReleaseDC(nullptr, dc); }
    };
    // The box as laid out now: client size, button and lines, as the test's expectations name them.
    void expectLaidOut(HWND box, const ScaleLook& l, const char* when) {
        SCOPED_TRACE(when);
        expectCentredAtSize(box, l.box.cx, l.box.cy);
        const auto buttons = children(box, "GsButton");
        ASSERT_EQ(buttons.size(), 1u);
        const RECT& b = buttons[0].second;
        EXPECT_EQ((std::array<LONG, 4>{b.left, b.top, b.right - b.left, b.bottom - b.top}), l.button);
        const auto lines = children(box, "SkinLabel");
        ASSERT_EQ(lines.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(lines[i].second.left, l.lineLeft) << lines[i].first;
            EXPECT_EQ(lines[i].second.top, l.lineTops[i]) << lines[i].first;
            // The font's cell height as the font maps it: a pixel less at some sizes.
            EXPECT_NEAR(lines[i].second.bottom - lines[i].second.top, l.lineHeight, 1) << lines[i].first;
        }
    }
    // The sizes of the server's tray icons as the notification area received them, in order.
    std::vector<std::uint32_t> iconSizes(UINT message) const {
        std::vector<std::uint32_t> sizes;
        for (const simboard::TrayMessage& m : shell.messages())
            if (m.processId == run->processId() && m.message == message && (m.flags & NIF_ICON)) {
                EXPECT_EQ(m.iconWidth, m.iconHeight);
                sizes.push_back(m.iconWidth);
            }
        return sizes;
    }
    bool noReport() {
        std::string text;
        return !e2e::waitForMessageBox(*run, text, e2e::kQuietMs) ||
               (ADD_FAILURE() << "a report: " << text, false);
    }

    simboard::ShellTray shell;
    const ScaleLook* look = nullptr;
};

// Points of the background where the sets differ in detail (the emblem, the wordmark), at 1x.
constexpr POINT kDetailPoints[] = {{40, 200}, {72, 140}, {60, 21}, {100, 28}, {30, 100}};

TEST_F(DisplayScaleTest, AboutBoxAndTrayIconAreDrawnForTheScreensScale) {
    HWND box = startAndFindBox();
    ASSERT_TRUE(box);
    EXPECT_TRUE(noReport()) << "every file of the set is there";
    expectLaidOut(box, *look, "at start");
    EXPECT_EQ(iconSizes(NIM_ADD), (std::vector<std::uint32_t>{static_cast<std::uint32_t>(look->icon)}));
    EXPECT_EQ(look->icon, ::GetSystemMetrics(SM_CXSMICON)) << "the notification area's small-icon size";

    // On screen: the background of the set drawn for the scale, pixel for pixel.
    ASSERT_TRUE(show(box));
    ::SetCursorPos(0, 0);
    const SkinPicture background(look->background);
    const RECT client = clientOnScreen(box);
    const auto lines = children(box, "SkinLabel");
    std::vector<std::string> differing;
    const auto showsTheSet = [&] {
        const e2e::ScreenImage shot = e2e::captureScreen(client);
        differing.clear();
        std::vector<POINT> points;
        for (const POINT p : kDetailPoints) points.push_back({p.x * look->dpi / 96, p.y * look->dpi / 96});
        // Each line's last corner, past its last letter: the lines have painted what lies beneath.
        for (const auto& [text, place] : lines) points.push_back({place.right - 1, place.bottom - 1});
        for (const auto [x, y] : points) {
            const auto want = background.at(x, y);
            if (shot.pixel(x, y) != RGB(want[0], want[1], want[2]))
                differing.push_back(std::to_string(x) + "," + std::to_string(y));
        }
        return differing.empty();
    };
    EXPECT_TRUE(e2e::waitUntil(showsTheSet, e2e::kPatienceMs))
        << "not the pixels of the set: " << ::testing::PrintToString(differing);
    keepScreenshot(box, (L"about-box-" + std::to_wstring(look->dpi) + L"dpi.png").c_str());

    if (look->dpi == 96) {
        // The box moves to a screen at 150 %: laid out anew from the message's DPI, centred though the
        // suggested place is the corner; the tray icon takes the small-icon size of that scale.
        sendWithRemoteRect(box, WM_DPICHANGED, MAKEWPARAM(144, 144), RECT{0, 0, 600, 360});
        expectLaidOut(box, kLooks[1], "after the DPI changed to 144");
        // Back to 100 %, from a sender that gives no rectangle: the 1x layout again, centred.
        ::SendMessageTimeoutW(box, WM_DPICHANGED, MAKEWPARAM(96, 96), 0, SMTO_NORMAL, e2e::kPatienceMs,
                              nullptr);
        expectLaidOut(box, kLooks[0], "back at 96 DPI, no rectangle");
        HWND trayWindow = run->findWindow(kelvane::kTrayIconWindowClass, nullptr);
        ASSERT_TRUE(trayWindow);
        sendWithRemoteRect(trayWindow, WM_DPICHANGED, MAKEWPARAM(144, 144), RECT{0, 0, 1, 1});
        EXPECT_TRUE(e2e::waitUntil([&] { return !iconSizes(NIM_MODIFY).empty(); }, e2e::kPatienceMs));
        EXPECT_EQ(iconSizes(NIM_MODIFY), (std::vector<std::uint32_t>{24}));
        EXPECT_TRUE(noReport());
    }

    if (look->dpi == 192) {
        // Without the 2x set the box comes up all the same, silently, from the 1x images resampled.
        run.reset();
        folder.reset();
        layOut({.skinFilesLeftOut = {L"popup_bg08@2x.png", L"button01_n@2x.png", L"button01_o@2x.png",
                                     L"button01_d@2x.png"}});
        box = startAndFindBox();
        ASSERT_TRUE(box);
        EXPECT_TRUE(noReport()) << "a missing larger file is no problem";
        expectLaidOut(box, *look, "without the 2x set");
        ASSERT_TRUE(show(box));
        const SkinPicture small(L"popup_bg08.png");
        // A flat stretch of the panel: its 1x colour, give or take the filter's rounding.
        const auto want = small.at(200, 225);
        const auto closeToIt = [&] {
            const COLORREF got = e2e::captureScreen(clientOnScreen(box)).pixel(400, 450);
            return std::abs(GetRValue(got) - want[0]) <= 2 && std::abs(GetGValue(got) - want[1]) <= 2 &&
                   std::abs(GetBValue(got) - want[2]) <= 2;
        };
        EXPECT_TRUE(e2e::waitUntil(closeToIt, e2e::kPatienceMs)) << "the 1x panel's colour, resampled";
        keepScreenshot(box, L"about-box-192dpi-from-1x.png");
    }
}

}  // namespace
}  // namespace server_e2e
