#include "fade/BrightnessController.h"

#include "core/settings/SettingsKeys.h"

#include <algorithm>
#include <cmath>

namespace mirl {

BrightnessController::BrightnessController(Backlight& backlight, Settings& settings, EventSink& events,
                                           RestoreState& restoreState)
    : backlight_(backlight), settings_(settings), events_(events), restoreState_(restoreState) {}

int BrightnessController::floorPercent() const {
    return std::clamp(settings_.readInt(keys::ambianceBrightnessFloorPct, 20), 5, 50);
}

void BrightnessController::apply(double darkness) {
    const double dd = std::clamp(std::isnan(darkness) ? 0.0 : darkness, 0.0, 1.0);
    if (dd < 0.001) {
        restore();
        return;
    }
    if (!savedLevel_) {
        const std::optional<float> read = backlight_.readLevel();
        // Kept before the first change, so that a crash leaves the way back behind; a level
        // nothing answered for (the 0.7 stand-in) is no user's level to put back later.
        if (read)
            restoreState_.remember(restore_parts::backlight, {{"level", static_cast<double>(*read)}});
        savedLevel_ = read.value_or(0.7f);
    }
    const double base = *savedLevel_;
    const int floor = floorPercent();
    const auto level = static_cast<float>(std::max(0.01, (1.0 - dd * (1.0 - floor / 100.0)) * base));
    setBrightness(level);
    lastAppliedLevel_ = level;
    events_.log("brightness_applied", {{"target", static_cast<double>(level)},
                                       {"initial", base},
                                       {"floor_pct", static_cast<long long>(floor)},
                                       {"darkness_input", dd}});
}

void BrightnessController::restore() {
    lastAppliedLevel_.reset();
    if (savedLevel_) {
        setBrightness(*savedLevel_);
        savedLevel_.reset();
        restoreState_.forget(restore_parts::backlight);
    }
}

std::optional<double> BrightnessController::detectOverride() {
    if (!lastAppliedLevel_ || !savedLevel_)
        return std::nullopt;
    // Only a level some display gave counts: the 0.7 stand-in is nobody's change.
    const std::optional<float> read = backlight_.readLevel();
    if (!read)
        return std::nullopt;
    const float current = *read;
    // A panel with few levels, or a monitor that rounds, never shows exactly what was written.
    const double tolerance = std::max(overrideTolerance, backlight_.levelStep());
    if (std::abs(static_cast<double>(current) - static_cast<double>(*lastAppliedLevel_)) <= tolerance)
        return std::nullopt;
    lastAppliedLevel_ = current;
    const int floor = floorPercent();
    const double d =
        (1.0 - current / std::max(static_cast<double>(*savedLevel_), 0.01)) / (1.0 - floor / 100.0);
    return std::clamp(d, 0.0, 1.0);
}

void BrightnessController::setBrightness(float level) {
    backlight_.writeLevel(level);
}

float BrightnessController::getBrightness() {
    return backlight_.readLevel().value_or(0.7f);
}

} // namespace mirl
