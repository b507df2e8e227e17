#include "win32/Controls.h"

#include <commctrl.h>

#include <stdexcept>
#include <utility>

#include "win32/Text.h"

namespace win32 {

HWND createControl(HWND parent, const wchar_t* className, std::wstring_view text, DWORD style,
                   const ControlRect& r, HFONT font, DWORD exStyle) {
    const std::wstring caption(text);
    HWND control =
        ::CreateWindowExW(exStyle, className, caption.c_str(), WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                          r.width, r.height, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!control) throw std::runtime_error("cannot create a " + narrow(className) + " control");
    if (font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

HWND createEdit(HWND parent, std::wstring_view text, const ControlRect& rect, HFONT font) {
    return createControl(parent, L"EDIT", text, WS_TABSTOP | ES_AUTOHSCROLL, rect, font, WS_EX_CLIENTEDGE);
}

HWND createButton(HWND parent, std::wstring_view caption, const ControlRect& rect, HFONT font) {
    return createControl(parent, L"BUTTON", caption, WS_TABSTOP | BS_PUSHBUTTON, rect, font);
}

HWND createLabel(HWND parent, std::wstring_view caption, int left, int top, HFONT font) {
    // Auto-sized like a form label: wide enough for its caption.
    const int width = 8 + 6 * static_cast<int>(caption.size());
    return createControl(parent, L"STATIC", caption, SS_LEFT, {left, top, width, 13}, font);
}

HWND createDropDownList(HWND parent, std::initializer_list<const wchar_t*> items, const ControlRect& rect,
                        HFONT font) {
    HWND combo = createControl(parent, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                               {rect.left, rect.top, rect.width, rect.height + 120}, font);
    for (const wchar_t* item : items) ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    return combo;
}

HWND createTrackBar(HWND parent, const ControlRect& rect, int minimum, int maximum, int position) {
    HWND bar = createControl(parent, TRACKBAR_CLASSW, L"", WS_TABSTOP | TBS_HORZ, rect, nullptr);
    ::SendMessageW(bar, TBM_SETRANGEMIN, FALSE, minimum);
    ::SendMessageW(bar, TBM_SETRANGEMAX, FALSE, maximum);
    ::SendMessageW(bar, TBM_SETPOS, TRUE, position);
    return bar;
}

void setText(HWND control, std::wstring_view text) {
    const std::wstring copy(text);
    ::SetWindowTextW(control, copy.c_str());
}

int trackBarPosition(HWND trackBar) { return static_cast<int>(::SendMessageW(trackBar, TBM_GETPOS, 0, 0)); }

MemoLog::MemoLog(HWND edit, int maxLines) : m_edit(edit), m_maxLines(maxLines) {
    ::SendMessageW(m_edit, EM_LIMITTEXT, 0x7FFFFFFE, 0);  // the default 30,000 would drop lines silently
}

void MemoLog::queue(std::wstring_view line) {
    m_pending.append(line);
    m_pending.append(L"\r\n");
    m_lineLengths.push_back(line.size() + 2);
    ++m_pendingLines;
}

void MemoLog::flush() {
    if (m_pending.empty()) return;
    const auto start = std::chrono::steady_clock::now();
    // Taken out first: the control notifies its parent synchronously, which may flush again.
    const std::wstring text = std::exchange(m_pending, {});
    const std::size_t queued = std::exchange(m_pendingLines, 0);
    const auto limit = static_cast<std::size_t>(m_maxLines);
    if (queued >= limit) {
        // The queued lines alone fill the memo: it shows their last maxLines, and nothing before.
        const std::size_t firstKept = m_lineLengths.size() - limit;
        std::size_t skipped = 0;
        for (std::size_t i = m_lineLengths.size() - queued; i < firstKept; ++i) skipped += m_lineLengths[i];
        m_lineLengths.erase(m_lineLengths.begin(),
                            m_lineLengths.begin() + static_cast<std::ptrdiff_t>(firstKept));
        ::SendMessageW(m_edit, EM_SETSEL, 0, -1);
        ::SendMessageW(m_edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str() + skipped));
    } else {
        const auto end = ::SendMessageW(m_edit, WM_GETTEXTLENGTH, 0, 0);
        ::SendMessageW(m_edit, EM_SETSEL, end, end);
        ::SendMessageW(m_edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
        // Trim in batches of a quarter so that the cost of removing text is spread over many appends.
        if (m_lineLengths.size() > limit + limit / 4) dropOldest(m_lineLengths.size() - limit);
    }
    m_lastFlushTime =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
}

void MemoLog::dropOldest(std::size_t lines) {
    // Counted from our own line lengths: the control's line numbers count wrapped screen lines.
    std::size_t cut = 0;
    for (std::size_t i = 0; i < lines; ++i) cut += m_lineLengths[i];
    m_lineLengths.erase(m_lineLengths.begin(), m_lineLengths.begin() + static_cast<std::ptrdiff_t>(lines));
    ::SendMessageW(m_edit, EM_SETSEL, 0, static_cast<LPARAM>(cut));
    ::SendMessageW(m_edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
}

void MemoLog::clear() {
    ::SetWindowTextW(m_edit, L"");
    m_pending.clear();
    m_pendingLines = 0;
    m_lineLengths.clear();
}

UINT memoFlushDelayMs(std::chrono::microseconds lastFlushTime, UINT leastMs) {
    const auto nine = std::chrono::ceil<std::chrono::milliseconds>(lastFlushTime * 9).count();
    return nine > leastMs ? static_cast<UINT>(nine) : leastMs;
}

}  // namespace win32
