#include "server/app/AboutBox.h"

#include <algorithm>
#include <array>
#include <utility>

#include "skin/controls/SkinFactory.h"
#include "support/NuMultiLang.h"
#include "win32/Application.h"
#include "win32/Handles.h"

namespace kelvane {

namespace {

constexpr int kDesignWidth = 410, kDesignHeight = 293;
constexpr DWORD kVersionBufferBytes = 260;

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
    create(kAboutBoxClass, kAboutBoxCaption, WS_POPUP | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
           {0, 0, kDesignWidth, kDesignHeight}, owner);
    FormCreate();
}

TAboutBox::~TAboutBox() {
    freeComponents();  // the button before the background it borrows, all before the window
    destroy();
}

void TAboutBox::FormCreate() {
    const std::wstring skinFolder = win32::executableFolder() + L"resource";
    // A missing or broken skin file is reported once the program runs; the box is built all the same,
    // so that it keeps a sane size and its button still closes it.
    skin::SkinProblems problems;
    m_background = &skin::CreateSkinImage(*this, skinFolder + L"\\popup_bg08.png", 0, 0, problems);
    const std::wstring buttonBase = skinFolder + L"\\button01";
    const skin::FacePaths faces = {buttonBase + L"_n.png", buttonBase + L"_d.png", buttonBase + L"_o.png",
                                   L""};
    m_okButton = &skin::CreateSkinButton(*this, &m_background->Picture(), 245, 166, faces, NuTranslate(L"OK"),
                                         problems);
    m_okButton->OnClick = [this] { close(); };
    if (!m_background->Picture().empty())
        setClientSize(m_background->Picture().width(), m_background->Picture().height());
    const std::pair<skin::SkinLabel**, std::wstring> lines[] = {
        {&m_serverName, L"Kelvane Server"},
        {&m_version, RemoteLinkVersion()},
        {&m_maker, win32::ownVersionString(L"CompanyName")},
    };
    int top = 75;
    for (const auto& [label, text] : lines) {
        *label = &skin::CreateSkinLabel(*this);
        (*label)->setText(text);
        (*label)->setPosition(150, top);
        (*label)->show();
        top += 20;
    }
    centerOnScreen();
    if (!problems.empty()) {
        std::wstring report;
        for (const std::wstring& line : problems) report += (report.empty() ? L"" : L"\n") + line;
        win32::showExceptionOnceRunning(std::move(report));
    }
}

}  // namespace kelvane
