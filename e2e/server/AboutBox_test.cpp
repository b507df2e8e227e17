// The About box of a running server, seen and driven from outside as a person meets it: on the
// screen, with the pointer and the keyboard, with its skin files and the registry as installed.

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "e2e/server/ServerRun.h"
#include "mainboard/machine/Translations.h"
#include "mainboard/pngcodec/PngCodec.h"
#include "win32/Text.h"

namespace server_e2e {
namespace {

constexpr wchar_t kSuiteKey[] = L"SOFTWARE\\NOVU\\NOVU Vexolink";
constexpr DWORD kShowTimeoutMs = 5000;

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

class AboutBoxTest : public ServerTest {
  protected:
    HWND startAndFindBox() {
        start();
        HWND box = nullptr;
        EXPECT_TRUE(
            e2e::waitUntil([&] { return (box = run->findWindow("TAboutBox", "AboutBox")) != nullptr; },
                           e2e::kStartTimeoutMs))
            << "no About box";
        waitUntilStarted();  // and so its creation is over
        return box;
    }
    static bool show(HWND box) {
        ::ShowWindow(box, SW_SHOW);
        ::SetForegroundWindow(box);
        return e2e::waitUntil([&] { return ::IsWindowVisible(box) != FALSE; }, kShowTimeoutMs);
    }
    static bool hidden(HWND box) {
        return e2e::waitUntil([&] { return !::IsWindowVisible(box); }, kShowTimeoutMs);
    }
    static RECT clientOnScreen(HWND window) {
        RECT r;
        ::GetClientRect(window, &r);
        ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
        return r;
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
    RECT client;
    ::GetClientRect(box, &client);
    EXPECT_EQ(client.right, background.width()) << "the background's size, not the design's 410 x 293";
    EXPECT_EQ(client.bottom, background.height());
    RECT frame;
    ::GetWindowRect(box, &frame);
    EXPECT_NEAR(frame.left + frame.right, ::GetSystemMetrics(SM_CXSCREEN), 1) << "centred";
    EXPECT_NEAR(frame.top + frame.bottom, ::GetSystemMetrics(SM_CYSCREEN), 1) << "centred";

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
            kShowTimeoutMs);
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
    ::SetCursorPos(place.right + 20, middle.y);
    EXPECT_TRUE(shows(face.raised)) << "dragged out while pressed";
    ::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    EXPECT_TRUE(::IsWindowVisible(box)) << "released outside: no click";

    setSuiteVersion(L"V6.00");  // read once, at creation
    ::SetCursorPos(middle.x, middle.y);
    ASSERT_TRUE(shows(face.hovered));
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
    EXPECT_TRUE(e2e::waitUntil([&] { return focus() == box; }, kShowTimeoutMs))
        << "the box has the focus, not its button";
    key(box, VK_TAB, true);
    key(box, VK_TAB, false);
    EXPECT_TRUE(e2e::waitUntil([&] { return focus() == button; }, kShowTimeoutMs))
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
        bool broken;                    // there but no PNG; else missing
        int width, height;              // of the box's client area; 0: the background's
        int buttonWidth, buttonHeight;  // 0: the face's
    };
    const Case cases[] = {
        {L"popup_bg08.png", false, 410, 293, 0, 0},
        {L"button01_n.png", false, 0, 0, 75, 25},
        {L"button01_o.png", true, 0, 0, 0, 0},
    };
    const SkinPicture background(L"popup_bg08.png"), face(L"button01_d.png");
    for (const Case& c : cases) {
        const std::string name = win32::narrow(c.file);
        run.reset();  // the last run ends before its folder goes, and that before the next one's
        folder.reset();
        layOut({.skinFilesLeftOut = {c.file}});
        if (c.broken) folder->add(e2e::builtFile(L"bin\\Info.ini"), L"resource\\" + std::wstring(c.file));
        run = std::make_unique<e2e::ProgramRun>(*folder, L"kelvane.exe");
        std::string text;
        // Start-up sleeps 3 s first, and a shell tray still tidying up after the last run's icon
        // can hold the tray's set-up for a second or two.
        HWND report = e2e::waitForMessageBox(*run, text, e2e::kStartTimeoutMs);
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
        ASSERT_TRUE(
            e2e::waitUntil([&] { return (box = run->findWindow("TAboutBox", "AboutBox")) != nullptr; },
                           e2e::kStartTimeoutMs));
        waitUntilStarted();
        EXPECT_FALSE(waitForMessageBox(text)) << "reported once: " << text;
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
        run.reset();
        folder.reset();  // the next case's folder has the same name
    }
}

TEST_F(AboutBoxTest, MissingPixreadStopsTheProgramAtTheFirstSkinImageWithItsAssertion) {
    layOut({.replaced = {{L"Pixread.dll", L""}}});
    ASSERT_TRUE(start());
    std::string text;
    HWND box = waitForMessageBox(text);
    ASSERT_TRUE(box);
    EXPECT_TRUE(text.starts_with("Assertion failed: m_hinst, file ")) << text;
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(run->waitForExit(kAnswerTimeoutMs), std::optional<DWORD>(3));
}

}  // namespace
}  // namespace server_e2e
