#pragma once
// Child controls of a form: standard Win32 classes, placed in pixels, sharing the form's font.

#include <windows.h>

#include <chrono>
#include <deque>
#include <initializer_list>
#include <string>
#include <string_view>

namespace win32 {

struct ControlRect {
    int left, top, width, height;
};

HWND createControl(HWND parent, const wchar_t* className, std::wstring_view text, DWORD style,
                   const ControlRect& rect, HFONT font, DWORD exStyle = 0);

HWND createEdit(HWND parent, std::wstring_view text, const ControlRect& rect, HFONT font);
HWND createButton(HWND parent, std::wstring_view caption, const ControlRect& rect, HFONT font);
HWND createLabel(HWND parent, std::wstring_view caption, int left, int top, HFONT font);
HWND createDropDownList(HWND parent, std::initializer_list<const wchar_t*> items, const ControlRect& rect,
                        HFONT font);
HWND createTrackBar(HWND parent, const ControlRect& rect, int minimum, int maximum, int position);

void setText(HWND control, std::wstring_view text);
int trackBarPosition(HWND trackBar);

// A multi-line edit control used as a log: lines are queued and appended in one go by flush(), and
// only the most recent maxLines are kept so that a server running for weeks does not grow. The
// control's cost is per line it takes (about 20 us each under wine, wrapping measured), so a flush
// gives it only the lines that stay: a flood of lines costs at most maxLines per flush.
class MemoLog {
  public:
    MemoLog(HWND edit, int maxLines);
    void queue(std::wstring_view line);
    void flush();
    void clear();
    bool hasPending() const noexcept { return !m_pending.empty(); }
    HWND control() const noexcept { return m_edit; }
    int maxLines() const noexcept { return m_maxLines; }
    // How long the last flush took.
    std::chrono::microseconds lastFlushTime() const noexcept { return m_lastFlushTime; }

  private:
    void dropOldest(std::size_t lines);
    HWND m_edit;
    int m_maxLines;
    std::deque<std::size_t> m_lineLengths;  // of every line in the control or pending, with its CR LF
    std::wstring m_pending;
    std::size_t m_pendingLines = 0;
    std::chrono::microseconds m_lastFlushTime{};
};

// The wait before a memo's next flush: at least leastMs, and nine times as long as the last flush
// took, so that a memo flooded with lines takes at most a tenth of the thread that also answers.
UINT memoFlushDelayMs(std::chrono::microseconds lastFlushTime, UINT leastMs);

}  // namespace win32
