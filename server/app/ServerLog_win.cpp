#include "server/app/ServerLog.h"

#include "win32/Text.h"

namespace kelvane {

namespace {

constexpr UINT kMemoFlushMs = 100;

}  // namespace

void ServerLog::attach(HWND memo, HWND owner) {
    m_memo = std::make_unique<win32::MemoLog>(memo, kMemoMaxLines);
    m_flushTimer = std::make_unique<win32::Timer>(owner, kMemoFlushMs, [this] {
        m_flushTimer->setEnabled(false);
        m_memo->flush();
    });
}

void ServerLog::addLine(std::string_view text) {
    const std::wstring line = win32::widen(text);
    // Nothing reads the memo while requests are handled: its lines are appended in batches, so that
    // the cost of the edit control does not delay the next request. The debugger gets each at once.
    m_memo->queue(line);
    m_flushTimer->setEnabled(true);
    ::OutputDebugStringW(line.c_str());
}

void ServerLog::clear() { m_memo->clear(); }

}  // namespace kelvane
