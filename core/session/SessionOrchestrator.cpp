#include "core/session/SessionOrchestrator.h"

#include "core/session/AmbianceMapping.h"
#include "core/settings/SettingsKeys.h"
#include "fade/WakeSoundChoice.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace mirl {

SessionOrchestrator::SessionOrchestrator(Deps deps)
    : deps_(deps), inactivity_(deps.clock, deps.settings, deps.logger, deps.probes, deps.timer, deps.fader) {
    volume.set(deps_.systemAudio.currentVolume());
    deps_.timer.onBeforeSystemSleep = lifetime_.guard([this] {
        deps_.baseline.restore("timer_fired_before_sleep");
        // The screen is neutral again; the sliders say so.
        ambiance.set(0);
        orangeIntensity.set(0);
        darkness.set(0);
    });
    deps_.timer.onShouldWarn = lifetime_.guard([this](double remaining) { preSleepAlertDue(remaining); });
    deps_.timer.onShouldWake = lifetime_.guard([this](double remaining) { napWakeDue(remaining); });
    subscriptions_.push_back(deps_.timer.endDate.subscribe([this](const std::optional<TimePoint>& end) {
        endDateChanged(end);
        // The start and stop paths run after the operation that changed the timer.
        deps_.scheduler.post(
            lifetime_.guard([this, running = end.has_value()] { timerRunningChanged(running); }));
    }));
    // Sleep signals shorten the fade.
    SleepDetector& detector = deps_.detector;
    subscriptions_.push_back(detector.phase.subscribe([this](SleepPhase phase) {
        if (phase == SleepPhase::asleep)
            relaySleepSignal("phase_asleep");
        else if (phase == SleepPhase::deepAsleep)
            relaySleepSignal("phase_deep_asleep");
    }));
    subscriptions_.push_back(
        detector.breathBandAsleepAt.subscribe([this](const std::optional<TimePoint>& at) {
            if (at)
                relaySleepSignal("breathband_asleep");
        }));
    subscriptions_.push_back(
        detector.breathRegularityAsleepAt.subscribe([this](const std::optional<TimePoint>& at) {
            if (at)
                relaySleepSignal("breath_regularity");
        }));
    checkTimer_ = deps_.scheduler.every(checkPeriod, [this] { check(); });
}

void SessionOrchestrator::relaySleepSignal(std::string_view reason) {
    deps_.scheduler.post(lifetime_.guard([this, reason = std::string(reason)] {
        if (deps_.fader.isActive.get())
            deps_.fader.accelerate(reason);
    }));
}

SessionOrchestrator::~SessionOrchestrator() {
    deps_.timer.onBeforeSystemSleep = nullptr;
    deps_.timer.onShouldWarn = nullptr;
    deps_.timer.onShouldWake = nullptr;
    deps_.fader.onAmbianceChange = nullptr;
    deps_.fader.onVolumeChange = nullptr;
    deps_.volumeMonitor.onExternalVolumeChange = nullptr;
    deps_.alert.onExtend = nullptr;
    deps_.alert.onSleepNow = nullptr;
}

bool SessionOrchestrator::validMinutes(int minutes) {
    return minutes >= 1 && minutes <= 1440;
}

bool SessionOrchestrator::volumeEnabled() const {
    return deps_.settings.readBool(keys::ambianceVolumeEnabled, true);
}

double SessionOrchestrator::secondsUntilEnd() const {
    const auto end = deps_.timer.endDate.get();
    return end ? std::max(0.0, secondsBetween(deps_.clock.now(), *end)) : 60.0;
}

int SessionOrchestrator::minutesUntilEnd() const {
    return static_cast<int>(secondsUntilEnd() / 60.0) + 1;
}

void SessionOrchestrator::startTimer(int minutes) {
    if (!validMinutes(minutes)) {
        deps_.console.line("Mirl: a timer takes 1 to 1440 minutes, not " + std::to_string(minutes));
        return;
    }
    deps_.timer.start(minutes);
}

void SessionOrchestrator::extendTimer(int minutes) {
    if (!validMinutes(minutes)) {
        deps_.console.line("Mirl: a timer is extended by 1 to 1440 minutes, not " + std::to_string(minutes));
        return;
    }
    deps_.timer.extend(minutes);
}

void SessionOrchestrator::endDateChanged(const std::optional<TimePoint>& end) {
    // A Night session's fades end with the timer: when the end moves (an extend), the fade
    // engine's deadline moves with it, or every later fade would be cut to its 30 s minimum.
    if (end && deps_.fader.isActive.get() && deps_.fader.fadeDeadline)
        deps_.fader.fadeDeadline = *end;
}

void SessionOrchestrator::timerRunningChanged(bool isRunning) {
    if (isRunning == handledRunning_)
        return;
    handledRunning_ = isRunning;
    if (isRunning) {
        const bool sleepEnabled = deps_.settings.readBool(keys::detectorSleepEnabled, true);
        const bool noMic = deps_.settings.readBool(keys::privacyNoMicrophone, false);
        if (noMic)
            deps_.logger.log("detector_skipped_no_mic_mode");
        if (detectorEnabled.get() && sleepEnabled && !noMic && !detectorRunning.get())
            startDetector();
        if (autoFadeEnabled.get() && !deps_.fader.isActive.get())
            beginFaderSession();
        deps_.volumeMonitor.onExternalVolumeChange = lifetime_.guard([this](int actual) {
            if (deps_.fader.isActive.get() && deps_.fader.volumeAutopilot.get() && volumeEnabled())
                volumeOverrideDetected(actual, "coreaudio_listener");
        });
        deps_.volumeMonitor.start();
        return;
    }
    if (detectorRunning.get())
        stopDetector("timer_cancelled_or_fired");
    if (deps_.fader.isActive.get())
        deps_.fader.stop("timer_cancelled_or_fired");
    deps_.volumeMonitor.stop();
    deps_.volumeMonitor.onExternalVolumeChange = nullptr;
    deps_.alert.dismiss();
}

void SessionOrchestrator::startDetector() {
    SessionLogger& logger = deps_.logger;
    if (deps_.settings.readBool(keys::privacyNoMicrophone, false)) {
        logger.log("detector_skipped_no_mic_mode");
        return;
    }
    const SessionLogger::SessionFiles files = logger.startSession();
    logger.log("timer_started", {{"minutes", static_cast<long long>(minutesUntilEnd())}});
    std::optional<std::filesystem::path> recording;
    if (deps_.settings.readBool(keys::detectorRecordingEnabled, false))
        recording = files.recording;
    else
        logger.log("recording_disabled_by_pref");
    logger.log("audio_pipeline_step", {{"step", "before_detector_start"}});
    if (const std::optional<std::string> error = deps_.detector.start(recording)) {
        deps_.console.line("Mirl: detector failed to start: " + *error);
        logger.log("detector_error", {{"error", *error}});
        logger.endSession("detector_start_failed");
        return;
    }
    detectorRunning.set(true);
    logger.log("detector_started");
}

void SessionOrchestrator::stopDetector(std::string_view reason) {
    deps_.detector.stop();
    detectorRunning.set(false);
    deps_.logger.log("detector_stopped", {{"reason", std::string(reason)}});
    deps_.logger.endSession(reason);
}

void SessionOrchestrator::beginFaderSession() {
    AutoFader& fader = deps_.fader;
    const int minutes = minutesUntilEnd();
    const int v = deps_.systemAudio.currentVolume();
    initialVolumeAtSessionStart_ = v;
    volume.set(v);
    // A baseline that could not be recorded could not be put back after a crash: the volume
    // then stays as it is for this session (the screen fades on its own record).
    volumeRecorded_ = deps_.baseline.captureInitialVolume(v);
    const MirlMode mode = deps_.timer.mode();
    fader.fadeCurve = mode == MirlMode::nap ? FadeCurve::easeOut : FadeCurve::easeInOut;
    fader.fadeDeadline = mode == MirlMode::night ? deps_.timer.endDate.get() : std::nullopt;
    deps_.logger.log("session_baseline_captured", {{"initial_volume", static_cast<long long>(v)}});
    lastAppliedSystemVolume_ = v;
    fader.onAmbianceChange = [this](double a) { applyFaderAmbiance(a); };
    fader.onVolumeChange = [this, v](int level) { applyFaderVolume(level, v); };
    fader.start(minutes, v);
    // The fade lasts until the end (Night, where the deadline also holds it) or until the wake
    // lead (Nap): from the exact time left, as the whole minutes plus one would overshoot.
    double duration = secondsUntilEnd();
    if (mode == MirlMode::nap)
        duration = std::max(duration - deps_.settings.readInt(keys::modeNapWakeLeadSec, 180), 60.0);
    fader.beginTimerFade(duration, 0.8);
}

void SessionOrchestrator::applyAmbianceToScreen(double a) {
    const OverlayLook look = overlayForAmbiance(a);
    orangeIntensity.set(look.orange);
    darkness.set(look.darkness);
    deps_.overlay.apply(look.orange, look.darkness);
}

void SessionOrchestrator::applyFaderAmbiance(double a) {
    // The user's brightness change since the last step wins over this step (handled right
    // after the engine's tick, which must not be re-entered from its callback).
    if (const std::optional<double> d = brightnessOverride()) {
        deps_.scheduler.post(lifetime_.guard([this, d = *d] { brightnessOverrideDetected(d); }));
        return;
    }
    lastFaderAmbiance_ = a;
    ambiance.set(a);
    applyAmbianceToScreen(a);
}

void SessionOrchestrator::applyFaderVolume(int v, int initialVolume) {
    lastFaderVolume_ = v;
    volume.set(v);
    if (!volumeEnabled() || !volumeRecorded_)
        return; // the display follows the fade, the system volume does not
    const int floorTarget = initialVolume * deps_.settings.readInt(keys::ambianceVolumeFloorPct, 35) / 100;
    deps_.systemAudio.setVolume(v, "autofade", initialVolume, floorTarget);
    lastAppliedSystemVolume_ = v;
}

void SessionOrchestrator::volumeOverrideDetected(int actual, std::string_view via) {
    lastAppliedSystemVolume_ = actual;
    lastFaderVolume_ = actual;
    volume.set(actual);
    deps_.fader.userOverrodeVolume("system_keys", actual);
    deps_.logger.log("volume_system_override_detected",
                     {{"actual", static_cast<long long>(actual)}, {"via", std::string(via)}});
}

void SessionOrchestrator::check() {
    inactivity_.step(autoFadeEnabled.get());
    pollOverrides();
}

void SessionOrchestrator::pollOverrides() {
    AutoFader& fader = deps_.fader;
    if (!fader.isActive.get())
        return;
    if (fader.volumeAutopilot.get() && volumeEnabled() && lastAppliedSystemVolume_) {
        const int current = deps_.systemAudio.currentVolume();
        if (std::abs(current - *lastAppliedSystemVolume_) >= pollVolumeThreshold)
            volumeOverrideDetected(current, "poll");
    }
    if (const std::optional<double> d = brightnessOverride())
        brightnessOverrideDetected(*d);
}

std::optional<double> SessionOrchestrator::brightnessOverride() {
    if (!deps_.fader.isActive.get() || !deps_.fader.ambianceAutopilot.get() ||
        !deps_.settings.readBool(keys::ambianceBrightnessEnabled, true))
        return std::nullopt;
    return deps_.brightness.detectOverride();
}

void SessionOrchestrator::brightnessOverrideDetected(double d) {
    const double a = ambianceForDarkness(d);
    applyAmbianceToScreen(a);
    lastFaderAmbiance_ = a;
    ambiance.set(a);
    deps_.fader.userOverrodeAmbiance("brightness_keys", a);
    deps_.logger.log("brightness_system_override_detected",
                     {{"darkness_equivalent", d}, {"ambiance_equivalent", a}});
}

void SessionOrchestrator::napWakeDue(double remaining) {
    if (!deps_.fader.isActive.get())
        return;
    deps_.fader.beginWake(remaining);
    const WakeSoundChoice choice =
        wakeSoundChoiceFromRaw(deps_.settings.readString(keys::modeNapWakeSound, "birds"))
            .value_or(WakeSoundChoice::birds);
    if (choice == WakeSoundChoice::none)
        return;
    // Outlives the nap: the sound starts at the end date, after the timer has fired.
    wakeSoundWork_ = deps_.scheduler.after(toDuration(std::max(remaining, 0.0)),
                                           [this, choice] { deps_.wakeSound.play(choice); });
}

void SessionOrchestrator::preSleepAlertDue(double remaining) {
    deps_.alert.onExtend = lifetime_.guard([this](int minutes) { extendTimer(minutes); });
    deps_.alert.onSleepNow = lifetime_.guard([this] {
        if (deps_.timer.isRunning())
            deps_.timer.fire();
    });
    deps_.alert.show(remaining);
}

} // namespace mirl
