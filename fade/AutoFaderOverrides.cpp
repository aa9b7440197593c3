// The override half of the fade engine: manual changes pause a channel (a plateau), the tick's
// resume step fades on from the user's value, and a second override soon after a resume gives
// the channel up.

#include "core/settings/SettingsKeys.h"
#include "fade/AutoFader.h"

#include <cmath>

namespace mirl {

bool AutoFader::pauseRunning(const ChannelOverride& channel, TimePoint t) const {
    return channel.resumeAt && t < *channel.resumeAt;
}

bool AutoFader::overrideEscalates(const ChannelOverride& channel, TimePoint t) const {
    return channel.resumedSinceOverride && channel.lastOverrideAt &&
           secondsBetween(*channel.lastOverrideAt, t) < overrideEscalationWindow;
}

bool AutoFader::pauseLogDue(ChannelOverride& channel, TimePoint t) {
    if (channel.lastPauseLog && secondsBetween(*channel.lastPauseLog, t) < pauseLogCooldown)
        return false;
    channel.lastPauseLog = t;
    return true;
}

void AutoFader::notifyAutopilot() {
    if (onAutopilotChange)
        onAutopilotChange(ambianceAutopilot.get(), volumeAutopilot.get());
}

void AutoFader::userOverrodeAmbiance(std::string_view source, double value) {
    if (!std::isfinite(value))
        return; // nothing sensible to store or log
    ambiance.set(value);
    ambianceLeg_.reset();
    if (!isActive.get() || !ambianceAutopilot.get())
        return;
    const TimePoint t = now();
    if (overrideEscalates(ambianceOverride_, t)) {
        ambianceOverride_.lastOverrideAt = t;
        ambianceOverride_.resumeAt.reset();
        ambianceAutopilot.set(false);
        events_.log("autofader_ambiance_disabled_by_user", {{"user_value", value},
                                                            {"source", std::string(source)},
                                                            {"cause", "override_again_after_resume"}});
        notifyAutopilot();
        return;
    }
    ambianceOverride_.lastOverrideAt = t;
    ambianceOverride_.resumedSinceOverride = false;
    const int plateau = settings_.readInt(keys::fadeOverridePlateauSec, 300);
    ambianceOverride_.resumeAt = addSeconds(t, plateau);
    isFading.set(true);
    if (pauseLogDue(ambianceOverride_, t))
        events_.log("autofader_ambiance_override_plateau",
                    {{"user_value", value},
                     {"source", std::string(source)},
                     {"plateau_sec", static_cast<long long>(plateau)}});
}

void AutoFader::userOverrodeVolume(std::string_view source, double value) {
    if (!std::isfinite(value))
        return;
    const double prev = volume.get();
    volume.set(value);
    volumeLeg_.reset();
    if (!isActive.get() || !volumeAutopilot.get())
        return;
    const TimePoint t = now();
    const auto userValue = static_cast<long long>(roundVolume(value));
    if (overrideEscalates(volumeOverride_, t)) {
        volumeOverride_.lastOverrideAt = t;
        volumeOverride_.resumeAt.reset();
        volumeAutopilot.set(false);
        events_.log("autofader_volume_disabled_by_user", {{"user_value", userValue},
                                                          {"source", std::string(source)},
                                                          {"cause", "override_again_after_resume"}});
        notifyAutopilot();
        return;
    }
    volumeOverride_.lastOverrideAt = t;
    volumeOverride_.resumedSinceOverride = false;
    // The user's volume becomes the session's reference: later targets and the wake ramp follow it.
    initialVolume_ = value;
    const bool raised = value > prev + volumeRaiseThreshold;
    volumeResumeNeedsIdle_ = raised;
    const int plateau = raised ? settings_.readInt(keys::fadeVolumeOverridePlateauSec, 600) : 0;
    volumeOverride_.resumeAt = addSeconds(t, plateau);
    isFading.set(true);
    if (pauseLogDue(volumeOverride_, t))
        events_.log("autofader_volume_override_plateau", {{"user_value", userValue},
                                                          {"source", std::string(source)},
                                                          {"direction", raised ? "up" : "down"},
                                                          {"plateau_sec", static_cast<long long>(plateau)}});
}

void AutoFader::ChannelOverride::startAfresh() {
    lastOverrideAt.reset();
    resumedSinceOverride = false;
}

void AutoFader::setAmbianceAutopilot(bool on) {
    // Handing the channel back to the engine forgets the overrides that gave it up, so the next
    // override pauses as a first one does.
    if (on && !ambianceAutopilot.get())
        ambianceOverride_.startAfresh();
    ambianceAutopilot.set(on);
    events_.log("autopilot_ambiance", {{"on", on}});
    notifyAutopilot();
}

void AutoFader::setVolumeAutopilot(bool on) {
    if (on && !volumeAutopilot.get())
        volumeOverride_.startAfresh();
    volumeAutopilot.set(on);
    events_.log("autopilot_volume", {{"on", on}});
    notifyAutopilot();
}

void AutoFader::resumeStep(TimePoint t) {
    resumeAmbiance(t);
    resumeVolume(t);
}

void AutoFader::resumeAmbiance(TimePoint t) {
    auto& channel = ambianceOverride_;
    // A leg begun during the pause (a timer fade, a speed-up, the wake) simply applies from now on.
    if (!channel.resumeAt || t < *channel.resumeAt || ambianceLeg_)
        return;
    if (!ambianceAutopilot.get() || isWaking_)
        return;
    channel.resumeAt.reset();
    const double target = currentAmbianceTarget_;
    const double from = ambiance.get();
    if (from >= target)
        return; // the pause just ends; this does not count as a resume
    const double d = deadlineClamp(minDurationSec(), fadeDeadline, t);
    ambianceLeg_ = FadeLeg{t, d, from, target};
    channel.resumedSinceOverride = true;
    events_.log("autofader_ambiance_resume",
                {{"from", from}, {"to", target}, {"duration_sec", wholeSeconds(d)}});
}

void AutoFader::resumeVolume(TimePoint t) {
    auto& channel = volumeOverride_;
    if (!channel.resumeAt || t < *channel.resumeAt || volumeLeg_)
        return;
    if (!volumeAutopilot.get() || isWaking_)
        return;
    // An unknown idle time shows no activity: the plateau alone holds the volume then, as a
    // volume fade that never resumed would leave the user's raised volume on all night.
    const std::optional<double> idle = volumeResumeNeedsIdle_ ? idleSecondsProvider() : std::nullopt;
    if (idle && *idle < volumeResumeIdleRequirement) {
        channel.resumeAt = addSeconds(t, volumeResumeIdleRecheck); // try again a minute later
        return;
    }
    channel.resumeAt.reset();
    volumeResumeNeedsIdle_ = false;
    const double target = volumeFloorTarget();
    const double from = volume.get();
    if (from <= target)
        return;
    const double d = deadlineClamp(minDurationSec(), fadeDeadline, t);
    volumeLeg_ = FadeLeg{t, d, from, target};
    channel.resumedSinceOverride = true;
    events_.log("autofader_volume_resume",
                {{"from", from}, {"to", target}, {"duration_sec", wholeSeconds(d)}});
}

} // namespace mirl
