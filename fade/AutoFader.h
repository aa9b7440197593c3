#pragma once

#include "core/settings/Settings.h"
#include "fade/FadeLeg.h"
#include "journal/EventSink.h"
#include "platform/ActivityProbes.h"
#include "runtime/Clock.h"
#include "runtime/Published.h"
#include "runtime/Scheduler.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace mirl {

/// The fade engine: moves two channels, the ambiance (0 = screen untouched .. 1 = darkest) and
/// the volume (percent, fractional while a leg runs), along at most one leg each. A 2-second tick
/// advances the legs and hands the values to onAmbianceChange and onVolumeChange; the engine
/// itself touches no output. A session arms it with start() and disarms it with stop().
///
/// The user stays in charge: an override pauses its channel (a plateau) and later fades on from
/// the user's value; a second override soon after such a resume switches the channel's autopilot
/// off. The override half lives in AutoFaderOverrides.cpp.
///
/// Thread rule: main thread only. Operations, the tick and the callbacks all run there; the
/// callbacks must not call back into a fade operation.
class AutoFader {
public:
    AutoFader(const Clock& clock, Scheduler& scheduler, const Settings& settings, EventSink& events,
              ActivityProbes& probes);
    AutoFader(const AutoFader&) = delete;
    AutoFader& operator=(const AutoFader&) = delete;

    // Observable state.
    Published<bool> isActive{false};
    Published<bool> isFading{false};
    Published<bool> ambianceAutopilot{true};
    Published<bool> volumeAutopilot{true};
    Published<double> ambiance{0.0};
    Published<double> volume{50.0};

    // Written by the orchestration before start().
    FadeCurve fadeCurve = FadeCurve::easeOut;
    std::optional<TimePoint> fadeDeadline;
    std::function<void(double)> onAmbianceChange;
    std::function<void(int)> onVolumeChange;
    std::function<void(bool ambianceOn, bool volumeOn)> onAutopilotChange;

    // The engine's only sources of time and of input idleness; replaceable for simulations.
    // The idle time is nothing when no idle facility answers.
    std::function<TimePoint()> now;
    std::function<std::optional<double>()> idleSecondsProvider;

    static constexpr double targetAmbianceFinal = 1.0;
    static constexpr double overrideEscalationWindow = 1200.0;
    static constexpr double volumeResumeIdleRequirement = 120.0;
    static constexpr double volumeResumeIdleRecheck = 60.0;
    static constexpr double pauseLogCooldown = 1.0;
    static constexpr double volumeRaiseThreshold = 0.5;
    static constexpr Duration tickPeriod = std::chrono::seconds(2);

    // Session operations.
    void start(int durationMinutes, int initialVolume);
    void stop(std::string_view reason);
    void beginTimerFade(double durationSeconds, double ambianceTarget);
    void beginIdleFade(double durationSeconds);
    void accelerate(std::string_view reason, std::optional<double> toSeconds = std::nullopt);
    void beginWake(double durationSeconds);
    void cancelFadeForActivity();

    // Manual changes and toggles.
    void userOverrodeAmbiance(std::string_view source, double value);
    void userOverrodeVolume(std::string_view source, double value);
    /// Switching a channel back on starts it afresh: the next override pauses it as a first one
    /// does. Switching on a channel that is on changes nothing.
    void setAmbianceAutopilot(bool on);
    void setVolumeAutopilot(bool on);

    /// One step of the engine, as the 2-second timer runs it.
    void tick();

    // Read-only view of the session fields.
    const std::optional<FadeLeg>& ambianceLeg() const { return ambianceLeg_; }
    const std::optional<FadeLeg>& volumeLeg() const { return volumeLeg_; }
    double initialVolume() const { return initialVolume_; }
    double currentAmbianceTarget() const { return currentAmbianceTarget_; }
    bool isWaking() const { return isWaking_; }
    std::optional<TimePoint> ambianceResumeAt() const { return ambianceOverride_.resumeAt; }
    std::optional<TimePoint> volumeResumeAt() const { return volumeOverride_.resumeAt; }
    bool volumeResumeNeedsIdle() const { return volumeResumeNeedsIdle_; }
    bool isTicking() const { return ticker_.active(); }
    /// The volume every fade aims at, from initialVolume and the floor setting.
    double volumeFloorTarget() const;

private:
    struct ChannelOverride {
        std::optional<TimePoint> resumeAt;
        std::optional<TimePoint> lastOverrideAt;
        bool resumedSinceOverride = false;
        std::optional<TimePoint> lastPauseLog; // none: the distant past
        /// Forgets the last override and the resume after it (the autopilot switched back on).
        void startAfresh();
    };

    void beginSleepFade(std::string_view reason, double durationSeconds);
    void speedUp(std::string_view reason, double seconds);
    void resumeStep(TimePoint t);
    void resumeAmbiance(TimePoint t);
    void resumeVolume(TimePoint t);
    bool pauseRunning(const ChannelOverride& channel, TimePoint t) const;
    /// The escalation test: a resume since the last override, and that override less than the
    /// escalation window ago.
    bool overrideEscalates(const ChannelOverride& channel, TimePoint t) const;
    bool pauseLogDue(ChannelOverride& channel, TimePoint t);
    double clampToDeadline(double d) const { return deadlineClamp(d, fadeDeadline, now()); }
    int minDurationSec() const;
    FadeLeg legFrom(double startValue, double endValue, double durationSeconds) const;
    void notifyAutopilot();

    Scheduler& scheduler_;
    const Settings& settings_;
    EventSink& events_;

    std::optional<FadeLeg> ambianceLeg_;
    std::optional<FadeLeg> volumeLeg_;
    double initialVolume_ = 50.0;
    double currentAmbianceTarget_ = 0.8;
    bool isWaking_ = false;
    bool volumeResumeNeedsIdle_ = false;
    ChannelOverride ambianceOverride_;
    ChannelOverride volumeOverride_;
    Handle ticker_;
};

} // namespace mirl
