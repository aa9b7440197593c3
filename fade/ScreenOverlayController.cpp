#include "fade/ScreenOverlayController.h"

#include "core/settings/SettingsKeys.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace mirl {

namespace {

std::string number(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, ec == std::errc{} ? end : buffer);
    if (text.find_first_of(".en") == std::string::npos)
        text += ".0";
    return text;
}

float opacity(double value) {
    return static_cast<float>(std::clamp(std::isnan(value) ? 0.0 : value, 0.0, 1.0));
}

} // namespace

std::string describeFrame(const Frame& f) {
    return "(" + number(f.x) + ", " + number(f.y) + ", " + number(f.width) + ", " + number(f.height) + ")";
}

ScreenOverlayController::ScreenOverlayController(OverlaySurfaces& surfaces, Settings& settings,
                                                 Console& console, NightShiftController& nightShift,
                                                 BrightnessController& brightness, GammaController& gamma)
    : surfaces_(surfaces), settings_(settings), console_(console), nightShift_(nightShift),
      brightness_(brightness), gamma_(gamma) {
    screensHandle_ = surfaces_.onScreensChanged([this] { screensChanged(); });
}

void ScreenOverlayController::apply(double o, double d) {
    const bool overlay = settings_.readBool(keys::ambianceOverlayEnabled, true);
    const bool nightShift = settings_.readBool(keys::ambianceNightShiftEnabled, true);
    const bool brightness = settings_.readBool(keys::ambianceBrightnessEnabled, true);
    if (overlay) {
        orangeIntensity_ = o;
        refresh();
        darkness_ = d;
        refresh();
    } else {
        // With the overlay switched off only the windows go: putting the other outputs back
        // here would make them jump to neutral and back on every tick.
        orangeIntensity_ = 0;
        darkness_ = 0;
        tearDown();
    }
    if (nightShift)
        nightShift_.setStrength(std::min(o / 0.22, 1.0));
    else
        nightShift_.disable();
    if (brightness)
        brightness_.apply(d);
    else
        brightness_.restore();
    if (settings_.readBool(keys::ambianceGammaDimEnabled, true))
        gamma_.apply(d);
    else
        gamma_.restore();
}

void ScreenOverlayController::refresh() {
    if (orangeIntensity_ > 0.001 || darkness_ > 0.001) {
        ensureWindows();
        for (auto& window : windows_)
            window->setOpacities(opacity(orangeIntensity_), opacity(darkness_));
        return;
    }
    tearDown();
    nightShift_.disable();
    brightness_.restore();
    gamma_.restore();
}

void ScreenOverlayController::screensChanged() {
    tearDown();
    refresh();
}

void ScreenOverlayController::ensureWindows() {
    if (!surfaces_.translucencyAvailable()) {
        tearDown();
        if (!reportedNoTranslucency_) {
            reportedNoTranslucency_ = true;
            console_.line(
                "Mirl overlay: no compositor is running, so translucent windows are impossible; the "
                "veil stays off while gamma, night light and backlight still follow the ambiance");
        }
        return;
    }
    const std::vector<Frame> screens = surfaces_.screens();
    bool matches = windows_.size() == screens.size();
    for (std::size_t i = 0; matches && i < screens.size(); ++i)
        matches = windows_[i]->frame() == screens[i];
    if (matches)
        return;
    tearDown();
    for (std::size_t i = 0; i < screens.size(); ++i) {
        auto window = surfaces_.create(i, screens[i]);
        if (!window)
            continue;
        console_.line("Mirl overlay: screen " + std::to_string(i) + " frame=" + describeFrame(screens[i]) +
                      " windowFrame=" + describeFrame(window->frame()) +
                      " level=" + std::to_string(surfaces_.windowLevel()));
        windows_.push_back(std::move(window));
    }
}

void ScreenOverlayController::tearDown() {
    for (auto& window : windows_)
        window->hide();
    windows_.clear();
}

} // namespace mirl
