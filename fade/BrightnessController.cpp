#include "fade/BrightnessController.h"

#include "core/settings/SettingsKeys.h"

#include <algorithm>
#include <cmath>
#include <vector>

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
    captureNewDisplays();
    if (!savedLevel_)
        savedLevel_ = 0.7f; // nothing answered: a stand-in, which is nobody's level to put back
    const int floor = floorPercent();
    const double factor = 1.0 - dd * (1.0 - floor / 100.0);
    auto scaled = [factor](double base) { return static_cast<float>(std::max(0.01, factor * base)); };
    // Each display from its own level: a panel at half and a monitor at full stay apart.
    std::vector<DisplayLevel> levels;
    for (const DisplayLevel& saved : savedLevels_)
        levels.push_back({saved.id, scaled(saved.level)});
    if (!levels.empty())
        backlight_.writeLevels(levels);
    const double base = *savedLevel_;
    const float level = scaled(base);
    lastAppliedLevel_ = level;
    events_.log("brightness_applied", {{"target", static_cast<double>(level)},
                                       {"initial", base},
                                       {"floor_pct", static_cast<long long>(floor)},
                                       {"darkness_input", dd}});
}

void BrightnessController::captureNewDisplays() {
    // Displays are captured before their first change, also those that answer only later (a
    // monitor still being detected, one plugged in during the fade). The first one captured
    // gives the single level of the read, the override check and the log.
    std::vector<DisplayLevel> captured = savedLevels_;
    for (const DisplayLevel& display : backlight_.readLevels())
        if (std::none_of(captured.begin(), captured.end(),
                         [&](const DisplayLevel& saved) { return saved.id == display.id; }))
            captured.push_back(display);
    if (captured.size() == savedLevels_.size())
        return;
    nlohmann::json displays = nlohmann::json::array();
    for (const DisplayLevel& display : captured)
        displays.push_back({{"id", display.id}, {"level", static_cast<double>(display.level)}});
    // Kept before the first change, so that a crash leaves the way back behind; what could not
    // be kept is not changed.
    if (!restoreState_.remember(restore_parts::backlight, {{"displays", displays}}))
        return;
    if (savedLevels_.empty())
        savedLevel_ = captured.front().level;
    savedLevels_ = std::move(captured);
}

void BrightnessController::restore() {
    lastAppliedLevel_.reset();
    if (!savedLevels_.empty())
        backlight_.writeLevels(savedLevels_);
    const bool held = !savedLevels_.empty();
    savedLevels_.clear();
    savedLevel_.reset();
    if (held)
        restoreState_.forget(restore_parts::backlight);
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
