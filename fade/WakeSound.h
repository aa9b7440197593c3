#pragma once

#include "fade/WakeSoundChoice.h"
#include "journal/EventSink.h"
#include "platform/ActivityProbes.h"
#include "platform/AudioPlayer.h"
#include "platform/Resources.h"
#include "runtime/Clock.h"
#include "runtime/Console.h"
#include "runtime/Handle.h"
#include "runtime/Lifetime.h"
#include "runtime/Scheduler.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace mirl {

/// How long the wake sound rises and plays at most; tests shorten them.
struct WakeSoundTiming {
    double rampSeconds = 40;
    double maxDurationSeconds = 180;
};

/// The sound that wakes the user at the end of a nap: it loops, starts at a quarter of its
/// gain and rises to full gain over 40 seconds, and stops at the first keyboard or mouse input
/// (checked every half second) or after 3 minutes. Also plays previews once at full gain.
/// Thread rule: main thread only.
class WakeSound {
public:
    static constexpr float startGain = 0.25f;
    using Timing = WakeSoundTiming;

    WakeSound(Clock& clock, Scheduler& scheduler, EventSink& events, Console& console,
              AudioPlayerFactory& players, Resources& resources, ActivityProbes& probes, Timing timing = {});
    WakeSound(const WakeSound&) = delete;
    WakeSound& operator=(const WakeSound&) = delete;

    /// Starts the looping, rising wake sound (a running sound or preview ends first).
    void play(WakeSoundChoice choice);
    /// Plays the sound once at full gain.
    void preview(WakeSoundChoice choice);
    /// Stops whatever plays and cancels the timers.
    void stop(std::string_view reason);

    /// Called when a preview has played to its end.
    std::function<void()> onFinish;

    bool isPlaying() const { return player_ != nullptr; }
    /// The gain of the sound that plays, nothing when none does.
    std::optional<float> gain() const;
    bool ramping() const { return rampTicker_.active(); }
    bool watchingActivity() const { return activityTicker_.active(); }

private:
    void rampStep();
    void activityStep();
    void finished();
    double elapsed() const;

    Clock& clock_;
    Scheduler& scheduler_;
    EventSink& events_;
    Console& console_;
    AudioPlayerFactory& players_;
    Resources& resources_;
    ActivityProbes& probes_;
    Timing timing_;

    std::unique_ptr<AudioPlayer> player_;
    std::unique_ptr<AudioPlayer> finishedPlayer_; // released after its own notification returned
    Handle rampTicker_;
    Handle stopWork_;
    std::optional<TimePoint> startedAt_;
    Handle activityTicker_;
    Lifetime lifetime_;
};

} // namespace mirl
