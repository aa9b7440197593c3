#include "fade/GammaController.h"

#include <algorithm>
#include <cmath>

namespace mirl {

void GammaController::apply(double darkness) {
    if (std::isnan(darkness) || darkness < 0.001) {
        restore();
        return;
    }
    const double dd = std::min(darkness, 1.0);
    const auto top = static_cast<float>(1.0 - 0.65 * dd);
    if (ramps_)
        ramps_->setBrightness(top);
    active_ = true;
}

void GammaController::restore() {
    if (!active_)
        return;
    if (ramps_)
        ramps_->setBrightness(1.0);
    active_ = false;
}

void GammaController::willTerminate() {
    if (ramps_)
        ramps_->restoreAll();
    active_ = false;
}

} // namespace mirl
