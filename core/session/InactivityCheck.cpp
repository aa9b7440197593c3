#include "core/session/InactivityCheck.h"

#include "core/settings/SettingsKeys.h"

namespace mirl {

InactivityCheck::InactivityCheck(const Clock& clock, const Settings& settings, EventSink& events,
                                 ActivityProbes& probes, SleepTimerModel& timer, AutoFader& fader)
    : clock_(clock), settings_(settings), events_(events), probes_(probes), timer_(timer), fader_(fader) {}

void InactivityCheck::step(bool autoFadeEnabled) {
    if (!timer_.isRunning() || !autoFadeEnabled || !fader_.isActive.get() ||
        !settings_.readBool(keys::fadeAutoEnabled, true) ||
        !settings_.readBool(keys::fadeTriggerIdleEnabled, true))
        return;
    const int threshold = settings_.readInt(keys::fadeIdleThresholdSec, 600);
    const int cooldown = settings_.readInt(keys::fadeCooldownSec, 300);
    const std::optional<double> reading = probes_.idleSeconds();
    if (!reading)
        return; // unknown: no activity seen, and no idleness either
    const double idle = *reading;

    if (idle < activityIdleSeconds && fader_.isFading.get()) {
        const TimePoint t = clock_.now();
        if (lastInteractionResetAt_ && secondsBetween(*lastInteractionResetAt_, t) <= resetSpacingSeconds)
            return;
        fader_.cancelFadeForActivity();
        lastInteractionResetAt_ = t;
        events_.log("autofader_reset_by_user_activity", {{"idle_sec", idle}});
        return;
    }
    if (lastInteractionResetAt_ && secondsBetween(*lastInteractionResetAt_, clock_.now()) < cooldown)
        return;
    if (fader_.isFading.get() || idle < threshold)
        return;
    if (probes_.isMediaPlaybackActive()) {
        events_.log("autofader_idle_trigger_skipped",
                    {{"reason", "media_playback_active"}, {"idle_sec", idle}});
        return;
    }
    const auto end = timer_.endDate.get();
    const double remaining = end ? secondsBetween(clock_.now(), *end) : remainingWithoutEndDate;
    events_.log("autofader_triggered_by_idle", {{"idle_sec", idle}, {"remaining_timer_sec", remaining}});
    fader_.beginIdleFade(remaining);
}

} // namespace mirl
