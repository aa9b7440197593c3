#include "fade/WakeSound.h"

#include <algorithm>
#include <cmath>

namespace mirl {

WakeSound::WakeSound(Clock& clock, Scheduler& scheduler, EventSink& events, Console& console,
                     AudioPlayerFactory& players, Resources& resources, ActivityProbes& probes, Timing timing)
    : clock_(clock), scheduler_(scheduler), events_(events), console_(console), players_(players),
      resources_(resources), probes_(probes), timing_(timing) {}

std::optional<float> WakeSound::gain() const {
    if (!player_) {
        return std::nullopt;
    }
    return player_->gain();
}

double WakeSound::elapsed() const {
    return startedAt_ ? secondsBetween(*startedAt_, clock_.now()) : 0.0;
}

void WakeSound::play(WakeSoundChoice choice) {
    stop("restart");
    finishedPlayer_.reset();
    if (choice == WakeSoundChoice::none) {
        events_.log("wake_sound_skipped", {{"reason", "choice_none"}});
        return;
    }
    const std::string name(resourceName(choice));
    const auto file = resources_.sound(name, "m4a");
    if (!file) {
        console_.line("Mirl: wake sound resource missing: " + name + ".m4a");
        events_.log("wake_sound_error", {{"missing_resource", name}});
        return;
    }
    auto opened = players_.open(*file);
    if (!opened.player) {
        console_.line("Mirl: wake sound failed to play: " + opened.error);
        events_.log("wake_sound_error", {{"error", opened.error}});
        return;
    }
    opened.player->onFinished = lifetime_.guard([this] { finished(); });
    opened.player->setLooping(true);
    opened.player->setGain(startGain);
    opened.player->play();
    player_ = std::move(opened.player);
    startedAt_ = clock_.now();

    rampTicker_ = scheduler_.every(std::chrono::seconds(1), lifetime_.guard([this] { rampStep(); }));
    activityTicker_ =
        scheduler_.every(std::chrono::milliseconds(500), lifetime_.guard([this] { activityStep(); }));
    stopWork_ = scheduler_.after(toDuration(timing_.maxDurationSeconds),
                                 lifetime_.guard([this] { stop("max_duration"); }));
    events_.log("wake_sound_begin",
                {{"sound", std::string(rawValue(choice))},
                 {"ramp_sec", static_cast<long long>(timing_.rampSeconds)},
                 {"max_duration_sec", static_cast<long long>(timing_.maxDurationSeconds)}});
}

void WakeSound::preview(WakeSoundChoice choice) {
    stop("preview_restart");
    finishedPlayer_.reset();
    if (choice == WakeSoundChoice::none) {
        return;
    }
    const auto file = resources_.sound(resourceName(choice), "m4a");
    if (!file) {
        return;
    }
    auto opened = players_.open(*file);
    if (!opened.player) {
        console_.line("Mirl: wake sound preview failed: " + opened.error);
        return;
    }
    opened.player->onFinished = lifetime_.guard([this] { finished(); });
    opened.player->setLooping(false);
    opened.player->setGain(1.0f);
    opened.player->play();
    player_ = std::move(opened.player);
    startedAt_ = clock_.now();
}

void WakeSound::rampStep() {
    if (!player_ || !startedAt_) {
        rampTicker_.cancel();
        return;
    }
    const double p = std::min(elapsed() / timing_.rampSeconds, 1.0);
    player_->setGain(static_cast<float>(startGain + (1.0f - startGain) * p));
    if (p >= 1.0) {
        rampTicker_.cancel();
    }
}

void WakeSound::activityStep() {
    if (!startedAt_) {
        activityTicker_.cancel();
        return;
    }
    const double sinceStart = elapsed();
    const std::optional<double> idle = probes_.idleSeconds();
    // Never during the first second, and only input that came more than half a second after
    // the start counts. An unknown idle time is no input: the sound then plays to its end.
    if (sinceStart > 1.0 && idle && *idle < sinceStart - 0.5) {
        stop("user_activity");
    }
}

void WakeSound::stop(std::string_view reason) {
    rampTicker_.cancel();
    activityTicker_.cancel();
    stopWork_.cancel();
    if (!player_) {
        return;
    }
    const double played = elapsed();
    player_->stop();
    player_.reset();
    startedAt_.reset();
    events_.log("wake_sound_stop", {{"reason", std::string(reason)},
                                    {"played_sec", static_cast<long long>(std::floor(played))}});
}

void WakeSound::finished() {
    // Only a preview finishes; a looping sound never does. The player is kept until later
    // because its own notification is still running.
    finishedPlayer_ = std::move(player_);
    startedAt_.reset();
    if (onFinish) {
        onFinish();
    }
}

} // namespace mirl
