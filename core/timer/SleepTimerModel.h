#pragma once

#include "core/settings/Settings.h"
#include "core/timer/MirlMode.h"
#include "journal/EventSink.h"
#include "platform/Power.h"
#include "runtime/Clock.h"
#include "runtime/Console.h"
#include "runtime/Published.h"
#include "runtime/Scheduler.h"

#include <functional>
#include <optional>
#include <string>

namespace mirl {

/// The session countdown: resolves the mode at start, ticks once a second, asks for the
/// pre-sleep alert (night) or the wake-up (nap) once, and at the end fires: resets, lets its
/// owner restore the screen and volume, and in night mode suspends the computer half a second
/// later.
///
/// Thread rule: main thread only.
class SleepTimerModel {
public:
    SleepTimerModel(const Clock& clock, Scheduler& scheduler, const Settings& settings, EventSink& events,
                    Power& power, Console& console);

    // Observable state.
    Published<std::optional<TimePoint>> endDate;
    Published<double> totalDuration{0.0};
    Published<TimePoint> now;

    MirlMode mode() const { return mode_; }
    bool didWarn() const { return didWarn_; }
    bool didWake() const { return didWake_; }

    // Callbacks, replaced (not chained) when set again.
    std::function<void(double remainingSeconds)> onShouldWarn;
    std::function<void(double remainingSeconds)> onShouldWake;
    std::function<void()> onBeforeSystemSleep;

    void start(int minutes);
    void extend(int minutes);
    void cancel();
    void fire();

    /// The mode a timer started at t takes for the given choice (reads the two hour settings).
    MirlMode resolveMode(TimePoint t, MirlMode choice) const;

    bool isRunning() const { return endDate.get().has_value(); }
    double remaining() const;
    double progress() const;
    /// "09:05" below an hour, "1:30:00" from an hour on; seconds rounded up.
    std::string remainingText() const;
    /// "90:00": whole minutes, not limited to 59.
    std::string shortRemainingText() const;

private:
    void startTicker();
    void tick();

    const Clock& clock_;
    Scheduler& scheduler_;
    const Settings& settings_;
    EventSink& events_;
    Power& power_;
    Console& console_;

    bool didWarn_ = false;
    bool didWake_ = false;
    MirlMode mode_ = MirlMode::night;
    Handle ticker_;
};

} // namespace mirl
