#pragma once
// The main window's two start-up timers: their periods and counting rules, apart from the timers
// themselves.

#include <cstdint>

namespace kelvane {

// The main window's creation waits this long after opening the ACPI device, before the tray icon and
// everything after it (scripts/startup-times.py reads it from here).
inline constexpr std::uint32_t kStartWaitMs = 3000;

// Notification registration: after a failed first attempt, each tick tries again, until the service
// accepts or 13 retries have been made. The counter is never reset.
class RegistrationRetry {
  public:
    static constexpr std::uint32_t kPeriodMs = 5000;

    // One tick; registerNow() makes the attempt and says whether it was accepted. Returns whether
    // the timer stays enabled.
    template <typename Register>
    bool tick(Register registerNow) {
        ++m_attempts;
        const bool exhausted = m_attempts > kLastAttempt;
        const bool registered = registerNow();
        return !exhausted && !registered;
    }
    std::int32_t attempts() const { return m_attempts; }

  private:
    static constexpr std::int32_t kLastAttempt = 12;  // the counter passes it once: 13 retries
    std::int32_t m_attempts = 0;
};

// Default loading: the defaults are applied on seven ticks, then the timer stops.
class DefaultLoadRuns {
  public:
    static constexpr std::uint32_t kPeriodMs = 2000;

    // Counts a run that has just been made; returns whether the timer stays enabled.
    bool afterRun() { return m_runs++ <= kLastRun; }
    std::int32_t runs() const { return m_runs; }

  private:
    static constexpr std::int32_t kLastRun = 5;  // runs are counted from 0; the one after 5 ends it
    std::int32_t m_runs = 0;
};

}  // namespace kelvane
