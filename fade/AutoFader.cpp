#include "fade/AutoFader.h"

#include "core/settings/SettingsKeys.h"

#include <algorithm>

namespace mirl {

AutoFader::AutoFader(const Clock& clock, Scheduler& scheduler, const Settings& settings, EventSink& events,
                     ActivityProbes& probes)
    : now([&clock] { return clock.now(); }), idleSecondsProvider([&probes] { return probes.idleSeconds(); }),
      scheduler_(scheduler), settings_(settings), events_(events) {}

double AutoFader::volumeFloorTarget() const {
    return mirl::volumeFloorTarget(initialVolume_, settings_.readInt(keys::ambianceVolumeFloorPct, 35));
}

int AutoFader::minDurationSec() const {
    return settings_.readInt(keys::fadeMinDurationSec, 540);
}

FadeLeg AutoFader::legFrom(double startValue, double endValue, double durationSeconds) const {
    return FadeLeg{now(), durationSeconds, startValue, endValue};
}

void AutoFader::start(int durationMinutes, int initialVolume) {
    initialVolume_ = initialVolume;
    volume.set(initialVolume);
    ambiance.set(0.0);
    isActive.set(true);
    isFading.set(false);

    ambianceLeg_.reset();
    volumeLeg_.reset();
    // A new session forgets the previous one's pauses and overrides; the last pause-log times
    // stay, so the plateau throttle spans sessions.
    for (ChannelOverride* channel : {&ambianceOverride_, &volumeOverride_}) {
        channel->resumeAt.reset();
        channel->lastOverrideAt.reset();
        channel->resumedSinceOverride = false;
    }
    currentAmbianceTarget_ = 0.8;
    isWaking_ = false;
    volumeResumeNeedsIdle_ = false;

    events_.log("autofader_start",
                {{"duration_min", static_cast<long long>(durationMinutes)},
                 {"initial_volume", static_cast<long long>(initialVolume)},
                 {"target_volume_pct", static_cast<long long>(clampedVolumeFloorPct(
                                           settings_.readInt(keys::ambianceVolumeFloorPct, 35)))}});

    ticker_.cancel();
    // The handle lives in the engine: destroying the engine stops its tick.
    ticker_ = scheduler_.every(tickPeriod, [this] { tick(); });
}

void AutoFader::stop(std::string_view reason) {
    if (!isActive.get())
        return;
    isActive.set(false);
    isFading.set(false);
    ticker_.cancel();
    ambianceLeg_.reset();
    volumeLeg_.reset();
    events_.log("autofader_stop", {{"reason", std::string(reason)}});
}

void AutoFader::beginTimerFade(double durationSeconds, double ambianceTarget) {
    if (!isActive.get())
        return;
    const double d = clampToDeadline(std::max(finiteSeconds(durationSeconds), 60.0));
    isWaking_ = false;
    const double target = std::min(ambianceTarget, 1.0);
    const double floor = volumeFloorTarget();
    if (ambianceAutopilot.get()) {
        currentAmbianceTarget_ = target;
        ambianceLeg_ = legFrom(ambiance.get(), target, d);
    }
    if (volumeAutopilot.get())
        volumeLeg_ = legFrom(volume.get(), floor, d);
    isFading.set(true);
    events_.log("autofader_timer_fade_begin", {{"fade_duration_sec", wholeSeconds(d)},
                                               {"ambiance_from", ambiance.get()},
                                               {"ambiance_to", target},
                                               {"volume_from", volume.get()},
                                               {"volume_to", floor}});
}

void AutoFader::beginIdleFade(double durationSeconds) {
    if (!isActive.get() || isFading.get())
        return;
    const double d =
        clampToDeadline(std::max(finiteSeconds(durationSeconds), static_cast<double>(minDurationSec())));
    isWaking_ = false;
    currentAmbianceTarget_ = 0.5;
    ambianceLeg_ = legFrom(ambiance.get(), 0.5, d);
    volumeLeg_.reset(); // an idle fade never moves the volume
    isFading.set(true);
    events_.log("autofader_fade_begin", {{"source", "user_idle"},
                                         {"fade_duration_sec", wholeSeconds(d)},
                                         {"ambiance_from", ambiance.get()},
                                         {"ambiance_to", 0.5},
                                         {"volume_touched", false}});
}

void AutoFader::accelerate(std::string_view reason, std::optional<double> toSeconds) {
    if (!isActive.get())
        return;
    if (!settings_.readBool(keys::fadeAcceleratorsEnabled, true)) {
        events_.log("autofader_accelerate_skipped",
                    {{"reason", std::string(reason)}, {"cause", "accelerators_disabled_pref"}});
        return;
    }
    // A sleep signal during the nap's wake-up must not darken and quieten what the wake ramp is
    // bringing back (see docs/decisions.md).
    if (isWaking_) {
        events_.log("autofader_accelerate_skipped", {{"reason", std::string(reason)}, {"cause", "waking"}});
        return;
    }
    const double t = toSeconds ? finiteSeconds(*toSeconds)
                               : static_cast<double>(settings_.readInt(keys::fadeAccelerateToSec, 180));
    if (!isFading.get())
        beginSleepFade(reason, std::max(t, static_cast<double>(minDurationSec())));
    else
        speedUp(reason, t);
}

void AutoFader::beginSleepFade(std::string_view reason, double durationSeconds) {
    const double d = clampToDeadline(durationSeconds);
    isWaking_ = false;
    currentAmbianceTarget_ = targetAmbianceFinal;
    const double floor = volumeFloorTarget();
    ambianceLeg_ = legFrom(ambiance.get(), targetAmbianceFinal, d);
    volumeLeg_ = legFrom(volume.get(), floor, d);
    isFading.set(true);
    events_.log("autofader_fade_begin", {{"source", std::string(reason)},
                                         {"fade_duration_sec", wholeSeconds(d)},
                                         {"ambiance_from", ambiance.get()},
                                         {"ambiance_to", targetAmbianceFinal},
                                         {"volume_from", volume.get()},
                                         {"volume_to", floor}});
}

void AutoFader::speedUp(std::string_view reason, double seconds) {
    const double d = clampToDeadline(std::max(seconds, 60.0));
    const TimePoint t = now();
    if (ambianceAutopilot.get()) {
        currentAmbianceTarget_ = targetAmbianceFinal;
        if (!pauseRunning(ambianceOverride_, t))
            ambianceLeg_ = legFrom(ambiance.get(), targetAmbianceFinal, d);
    }
    if (volumeAutopilot.get() && !pauseRunning(volumeOverride_, t))
        volumeLeg_ = legFrom(volume.get(), volumeFloorTarget(), d);
    events_.log("autofader_accelerated", {{"source", std::string(reason)},
                                          {"new_duration_sec", wholeSeconds(d)},
                                          {"ambiance_now", ambiance.get()},
                                          {"volume_now", volume.get()}});
}

void AutoFader::beginWake(double durationSeconds) {
    if (!isActive.get())
        return;
    isWaking_ = true;
    currentAmbianceTarget_ = 0.0;
    const double d = std::max(finiteSeconds(durationSeconds), 30.0); // the deadline does not apply
    ambianceLeg_ = legFrom(ambiance.get(), 0.0, d);
    volumeLeg_ = legFrom(volume.get(), initialVolume_, d);
    ambianceOverride_.resumeAt.reset();
    volumeOverride_.resumeAt.reset();
    isFading.set(true);
    events_.log("autofader_wake_begin", {{"wake_duration_sec", wholeSeconds(d)},
                                         {"ambiance_from", ambiance.get()},
                                         {"volume_from", volume.get()},
                                         {"volume_to", initialVolume_}});
}

void AutoFader::cancelFadeForActivity() {
    if (!isFading.get())
        return;
    ambianceLeg_.reset();
    volumeLeg_.reset();
    // Activity also ends a pending override pause: its resume leg would darken the screen while
    // the user is at the machine, with no fade running to cancel (see docs/decisions.md).
    ambianceOverride_.resumeAt.reset();
    volumeOverride_.resumeAt.reset();
    volumeResumeNeedsIdle_ = false;
    isFading.set(false);
    events_.log("autofader_fade_cancelled_by_activity", EventPayload::object());
}

void AutoFader::tick() {
    if (!isActive.get())
        return;
    const TimePoint t = now();
    // Which channels are live is decided before the resume step changes anything.
    const auto live = [t](bool autopilot, const ChannelOverride& channel) {
        return autopilot && (!channel.resumeAt || *channel.resumeAt <= t);
    };
    const bool ambianceLive = live(ambianceAutopilot.get(), ambianceOverride_);
    const bool volumeLive = live(volumeAutopilot.get(), volumeOverride_);

    resumeStep(t);

    if (ambianceLive && ambianceLeg_) {
        const double v = legValue(*ambianceLeg_, t, fadeCurve);
        ambiance.set(v);
        if (onAmbianceChange)
            onAmbianceChange(v);
    }
    if (volumeLive && volumeLeg_) {
        const double v = legValue(*volumeLeg_, t, fadeCurve);
        volume.set(v);
        if (onVolumeChange)
            onVolumeChange(roundVolume(v));
    }
}

} // namespace mirl
