#include "fade/NightShiftController.h"

#include <cmath>

namespace mirl {

NightShiftController::NightShiftController(NightLight* light, Console& console)
    : light_(light), console_(console) {
    if (!light_)
        console_.line("Mirl NightShift: no night-light backend found");
}

void NightShiftController::setStrength(double s) {
    if (!light_)
        return;
    // Not a number counts as no strength (it would otherwise pass both comparisons).
    if (std::isnan(s) || (s < 1.0 && (s < 0.0 || static_cast<float>(s) < 0.001f))) {
        disable();
        return;
    }
    const float strength = s >= 1.0 ? 1.0f : static_cast<float>(s);
    const NightLightCapabilities caps = light_->capabilities();
    if (caps.strength)
        light_->setStrength(strength, true);
    else
        console_.line("Mirl NightShift: setStrength:commit: not found");
    if (caps.enable)
        light_->setEnabled(true);
    else
        console_.line("Mirl NightShift: setEnabled: not found");
    if (caps.commit)
        light_->commitChanges();
}

void NightShiftController::disable() {
    if (!light_)
        return;
    if (light_->capabilities().enable)
        light_->setEnabled(false);
    else
        console_.line("Mirl NightShift: setEnabled: not found");
}

void NightShiftController::willTerminate() {
    if (light_)
        light_->restore();
}

} // namespace mirl
