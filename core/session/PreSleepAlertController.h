#pragma once

#include "core/session/AlertPanel.h"
#include "journal/EventSink.h"
#include "runtime/Clock.h"
#include "runtime/Handle.h"
#include "runtime/Scheduler.h"

#include <functional>
#include <optional>
#include <string>

namespace mirl {

/// The alert shortly before a Night timer puts the computer to sleep: counts the seconds down
/// on its panel every half second and offers +10/+20/+30 minutes or sleep now. It knows nothing
/// of the timer: the orchestration sets the two actions, shows it and dismisses it.
///
/// States: Hidden (no panel, no deadline) and Shown. show() while Shown moves the deadline and
/// refreshes the text; dismiss(), a button or the countdown reaching zero return to Hidden.
/// Thread rule: main thread only.
class PreSleepAlertController {
public:
    static constexpr Duration countdownPeriod = std::chrono::milliseconds(500);

    PreSleepAlertController(AlertPanel& panel, const Clock& clock, Scheduler& scheduler, EventSink& events);
    PreSleepAlertController(const PreSleepAlertController&) = delete;
    PreSleepAlertController& operator=(const PreSleepAlertController&) = delete;

    /// Called with the minutes of an extend button. Stays set across dismissals.
    std::function<void(int minutes)> onExtend;
    /// Called by the sleep-now button. Stays set across dismissals.
    std::function<void()> onSleepNow;

    /// Sets the deadline remainingSeconds from now and shows the panel (or refreshes it).
    void show(double remainingSeconds);
    /// Closes the panel and forgets the deadline; harmless when nothing is shown.
    void dismiss();
    /// An extend button: logs, calls onExtend, closes. Ignored while nothing is shown.
    void extendTapped(int minutes);
    /// The sleep-now button: logs, closes, calls onSleepNow. Ignored while nothing is shown.
    void sleepNowTapped();

    bool isShown() const { return shown_; }
    std::optional<TimePoint> deadline() const { return deadline_; }
    /// The countdown as the label shows it ("sleep in 1:00"); empty while hidden.
    const std::string& countdownText() const { return text_; }

private:
    void refresh();

    AlertPanel& panel_;
    const Clock& clock_;
    Scheduler& scheduler_;
    EventSink& events_;

    bool shown_ = false;
    std::optional<TimePoint> deadline_;
    std::string text_;
    Handle countdownTimer_;
};

/// "sleep in M:SS" for the seconds left, rounded up to a whole second (0:00 at or past zero).
std::string alertCountdownText(double secondsLeft);

} // namespace mirl
