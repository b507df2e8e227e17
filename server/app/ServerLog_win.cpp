#include "server/app/ServerLog.h"

#include "win32/DebugOutput.h"
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
        m_flushTimer->setInterval(win32::memoFlushDelayMs(m_memo->lastFlushTime(), kMemoFlushMs));
    });
}

ServerLog::~ServerLog() { win32::finishDebugOutput(); }

void ServerLog::addLine(std::string_view text) {
    std::wstring line = win32::widen(text);
    m_memo->queue(line);
    win32::queueDebugOutput(std::move(line));
}

void ServerLog::deliver() {
    win32::writeQueuedDebugOutput();
    // The memo's lines are appended in batches, so that the edit control's cost (which grows with its
    // text) is paid once per batch, not per request.
    if (m_memo && m_memo->hasPending()) m_flushTimer->setEnabled(true);
}

void ServerLog::finish() {
    deliver();
    win32::finishDebugOutput();
}

void ServerLog::clear() { m_memo->clear(); }

}  // namespace kelvane
