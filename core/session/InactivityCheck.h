#pragma once

#include "core/settings/Settings.h"
#include "core/timer/SleepTimerModel.h"
#include "fade/AutoFader.h"
#include "journal/EventSink.h"
#include "platform/ActivityProbes.h"
#include "runtime/Clock.h"

#include <optional>

namespace mirl {

/// The inactivity step of the five-second check: keyboard and mouse silence beyond
/// "fade.idle_threshold_sec" begins an idle fade (unless a video keeps the display awake), and
/// activity during a fade cancels it, at most once per five seconds; after such a cancellation
/// no idle fade begins for "fade.cooldown_sec". An unknown idle time is neither activity nor
/// idleness: the step then does nothing.
///
/// The orchestration owns it and runs step() every five seconds, before its override poll.
/// Thread rule: main thread.
class InactivityCheck {
public:
    static constexpr double activityIdleSeconds = 2.0;
    static constexpr double resetSpacingSeconds = 5.0;
    static constexpr double remainingWithoutEndDate = 600.0;

    InactivityCheck(const Clock& clock, const Settings& settings, EventSink& events, ActivityProbes& probes,
                    SleepTimerModel& timer, AutoFader& fader);

    /// One inactivity step; autoFadeEnabled is the auto-fade switch of the session.
    void step(bool autoFadeEnabled);

    /// The last time activity cancelled a running fade; never cleared, so a late cancellation
    /// also holds back the start of the next session.
    std::optional<TimePoint> lastInteractionResetAt() const { return lastInteractionResetAt_; }

private:
    const Clock& clock_;
    const Settings& settings_;
    EventSink& events_;
    ActivityProbes& probes_;
    SleepTimerModel& timer_;
    AutoFader& fader_;
    std::optional<TimePoint> lastInteractionResetAt_;
};

} // namespace mirl
