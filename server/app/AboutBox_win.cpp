#include "server/app/AboutBox.h"

#include <algorithm>
#include <array>
#include <utility>

#include "Version.h"
#include "protocol/ServerWindows.h"
#include "skin/controls/SkinFactory.h"
#include "skin/controls/SkinScale.h"
#include "support/NuMultiLang.h"
#include "win32/Application.h"
#include "win32/Dpi.h"
#include "win32/Handles.h"

namespace kelvane {

namespace {

// The design, at 96 DPI.
constexpr int kDesignWidth = 410, kDesignHeight = 293;
constexpr POINT kButtonPlace{245, 166};
constexpr POINT kFirstLinePlace{150, 75};
constexpr int kLineSpacing = 20;
constexpr DWORD kVersionBufferBytes = 260;

std::wstring skinFolder() { return win32::executableFolder() + L"resource"; }
std::wstring backgroundFile() { return skinFolder() + L"\\popup_bg08.png"; }
skin::FacePaths buttonFaces() {
    const std::wstring base = skinFolder() + L"\\button01";
    return {base + L"_n.png", base + L"_d.png", base + L"_o.png", L""};
}

}  // namespace

std::wstring RemoteLinkVersion() {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\NOVU\\NOVU Vexolink", 0, KEY_READ, &opened) !=
        ERROR_SUCCESS)
        return kFallbackVersion;
    const win32::UniqueRegistryKey product(opened);
    std::array<wchar_t, kVersionBufferBytes / sizeof(wchar_t)> buffer{};
    DWORD type = 0, size = kVersionBufferBytes;
    if (::RegQueryValueExW(product.get(), L"Version", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                           &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return kFallbackVersion;
    // A value stored without its terminator that fills the whole buffer has no end inside it.
    const auto end = std::find(buffer.begin(), buffer.end(), L'\0');
    if (end == buffer.end()) return kFallbackVersion;
    return std::wstring(buffer.begin(), end);
}

TAboutBox::TAboutBox(HWND owner) {
    create(wire::kAboutBoxClass, wire::kAboutBoxCaption, WS_POPUP | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
           {0, 0, kDesignWidth, kDesignHeight}, owner);
    FormCreate();
}

TAboutBox::~TAboutBox() {
    freeComponents();  // the button before the background it borrows, all before the window
    destroy();
}

void TAboutBox::FormCreate() {
    const int dpi = win32::windowDpi(hwnd());
    // A missing or broken skin file is reported once the program runs; the box is built all the same,
    // so that it keeps a sane size and its button still closes it.
    skin::SkinProblems problems;
    m_background = &skin::CreateSkinImage(*this, backgroundFile(), 0, 0, dpi, problems);
    m_okButton = &skin::CreateSkinButton(*this, &m_background->Picture(), kButtonPlace.x, kButtonPlace.y,
                                         buttonFaces(), NuTranslate(L"OK"), dpi, problems);
    m_okButton->OnClick = [this] { close(); };
    const std::pair<skin::SkinLabel**, std::wstring> lines[] = {
        {&m_serverName, L"" KV_PRODUCT_NAME},
        {&m_version, RemoteLinkVersion()},
        {&m_maker, win32::ownVersionString(L"CompanyName")},
    };
    for (const auto& [label, text] : lines) {
        *label = &skin::CreateSkinLabel(*this, dpi);
        (*label)->setText(text);
        (*label)->show();
    }
    RECT place;
    ::GetWindowRect(hwnd(), &place);
    layOut(dpi, place);
    if (!problems.empty()) {
        std::wstring report;
        for (const std::wstring& line : problems) report += (report.empty() ? L"" : L"\n") + line;
        win32::showExceptionOnceRunning(std::move(report));
    }
}

void TAboutBox::rescale(int dpi) {
    skin::SkinProblems reportedAtCreation;
    skin::ScaleSkinImage(*m_background, backgroundFile(), 0, 0, dpi, reportedAtCreation);
    skin::ScaleSkinButton(*m_okButton, kButtonPlace.x, kButtonPlace.y, buttonFaces(), dpi,
                          reportedAtCreation);
    for (skin::SkinLabel* label : {m_serverName, m_version, m_maker}) skin::ScaleSkinLabel(*label, dpi);
}

void TAboutBox::layOut(int dpi, const RECT& place) {
    const skin::Bitmap& background = m_background->Picture();
    if (background.empty())
        setClientSize(skin::scaledToDpi(kDesignWidth, dpi), skin::scaledToDpi(kDesignHeight, dpi));
    else
        setClientSize(background.width(), background.height());
    int top = kFirstLinePlace.y;
    for (skin::SkinLabel* label : {m_serverName, m_version, m_maker}) {
        label->setPosition(skin::scaledToDpi(kFirstLinePlace.x, dpi), skin::scaledToDpi(top, dpi));
        top += kLineSpacing;
    }
    centerOnScreenOf(place);
}

LRESULT TAboutBox::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_DPICHANGED) return SkinForm::handleMessage(message, wParam, lParam);
    // The system's suggested rectangle tells which screen the box now belongs to; the box keeps the
    // skin's size and stays centred on that screen.
    RECT suggested;
    if (lParam)
        suggested = *reinterpret_cast<const RECT*>(lParam);
    else
        ::GetWindowRect(hwnd(), &suggested);  // a sender other than the system may leave it out
    const int dpi = win32::dpiOfChange(wParam);
    rescale(dpi);
    layOut(dpi, suggested);
    ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    return 0;
}

}  // namespace kelvane
