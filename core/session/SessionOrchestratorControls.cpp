// The operations of the views on the session: cancel and its restore, the two switches, the
// manual sliders and autopilot buttons, and the system's sleep and wake.

#include "core/session/AmbianceMapping.h"
#include "core/session/SessionOrchestrator.h"
#include "core/settings/SettingsKeys.h"

#include <cmath>
#include <optional>
#include <string>

namespace mirl {

namespace {

/// A slider value that only echoes what the fade engine applied or what the session published.
bool isSliderEcho(std::optional<double> lastFromFader, double published, double value) {
    const double tolerance = SessionOrchestrator::echoTolerance;
    return (lastFromFader && std::abs(*lastFromFader - value) < tolerance) ||
           std::abs(published - value) < tolerance;
}

} // namespace

void SessionOrchestrator::cancelSession() {
    wakeSoundWork_.cancel();
    deps_.wakeSound.stop("user_cancelled_timer");
    deps_.timer.cancel();
    restoreSessionBaseline("user_cancelled_timer");
}

void SessionOrchestrator::restoreSessionBaseline(std::string_view reason) {
    deps_.overlay.apply(0, 0);
    deps_.brightness.restore();
    deps_.nightShift.disable();
    ambiance.set(0);
    orangeIntensity.set(0);
    darkness.set(0);
    if (initialVolumeAtSessionStart_ >= 0) {
        deps_.baseline.putBackVolume(initialVolumeAtSessionStart_);
        volume.set(initialVolumeAtSessionStart_);
    }
    deps_.logger.log("baseline_restored", {{"reason", std::string(reason)},
                                           {"volume", static_cast<long long>(initialVolumeAtSessionStart_)}});
    initialVolumeAtSessionStart_ = -1;
    deps_.baseline.clearInitialVolume();
}

void SessionOrchestrator::setDetectorEnabled(bool on) {
    if (on == detectorEnabled.get())
        return;
    detectorEnabled.set(on);
    if (on) {
        if (deps_.timer.isRunning() && !detectorRunning.get())
            startDetector();
    } else if (detectorRunning.get()) {
        stopDetector("user_disabled");
    }
}

void SessionOrchestrator::setAutoFadeEnabled(bool on) {
    if (on == autoFadeEnabled.get())
        return;
    autoFadeEnabled.set(on);
    if (on) {
        if (deps_.timer.isRunning() && !deps_.fader.isActive.get())
            beginFaderSession();
    } else if (deps_.fader.isActive.get()) {
        deps_.fader.stop("user_disabled");
    }
}

void SessionOrchestrator::ambianceSliderMoved(double a) {
    if (!std::isfinite(a))
        return;
    if (isSliderEcho(lastFaderAmbiance_, ambiance.get(), a))
        return;
    ambiance.set(a);
    applyAmbianceToScreen(a);
    const bool manual = deps_.fader.isActive.get();
    if (manual)
        deps_.fader.userOverrodeAmbiance("slider", a);
    else
        deps_.fader.ambiance.set(a);
    deps_.logger.log("ambiance_changed", {{"ambiance", a},
                                          {"orange", orangeIntensity.get()},
                                          {"darkness", darkness.get()},
                                          {"manual", manual}});
}

void SessionOrchestrator::volumeSliderMoved(double v) {
    if (!std::isfinite(v))
        return;
    if (isSliderEcho(lastFaderVolume_, volume.get(), v))
        return;
    volume.set(v);
    const int n = static_cast<int>(v);
    deps_.systemAudio.setVolume(n, "manual_slider");
    lastAppliedSystemVolume_ = n;
    const bool manual = deps_.fader.isActive.get();
    if (manual)
        deps_.fader.userOverrodeVolume("slider", v);
    else
        deps_.fader.volume.set(v);
    deps_.logger.log("volume_changed", {{"volume", static_cast<long long>(n)}, {"manual", manual}});
}

void SessionOrchestrator::resetAmbiance() {
    ambiance.set(0);
    orangeIntensity.set(0);
    darkness.set(0);
    deps_.overlay.apply(0, 0);
}

void SessionOrchestrator::setAmbianceAutopilot(bool on) {
    deps_.fader.setAmbianceAutopilot(on);
}

void SessionOrchestrator::setVolumeAutopilot(bool on) {
    deps_.fader.setVolumeAutopilot(on);
}

void SessionOrchestrator::systemWillSleep() {
    if (detectorRunning.get())
        stopDetector("system_will_sleep");
}

void SessionOrchestrator::systemDidWake() {
    deps_.logger.log("system_did_wake");
    deps_.baseline.restoreContextual("system_did_wake");
    initialVolumeAtSessionStart_ = -1;
    ambiance.set(0);
    orangeIntensity.set(0);
    darkness.set(0);
}

} // namespace mirl
