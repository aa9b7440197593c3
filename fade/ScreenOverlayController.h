#pragma once

#include "core/settings/Settings.h"
#include "fade/BrightnessController.h"
#include "fade/GammaController.h"
#include "fade/NightShiftController.h"
#include "platform/OverlaySurfaces.h"
#include "runtime/Console.h"

#include <memory>
#include <string>
#include <vector>

namespace mirl {

/// Makes the ambiance visible: one click-through surface per screen with an orange layer
/// below a black one, and the fan-out that drives the night light, the gamma ramps and the
/// backlight from the same (orange intensity, darkness) pair, each behind its own switch.
///
/// States: Hidden (no windows) and Shown (one window per screen). When translucent windows are
/// impossible (no compositor) no windows are shown, which is said once on the console; the
/// other outputs work as before.
/// Thread rule: main thread.
class ScreenOverlayController {
public:
    ScreenOverlayController(OverlaySurfaces& surfaces, Settings& settings, Console& console,
                            NightShiftController& nightShift, BrightnessController& brightness,
                            GammaController& gamma);

    /// The fan-out.
    void apply(double orangeIntensity, double darkness);
    /// Windows and layer opacities brought in line with the two fields; at zero everything is
    /// put back.
    void refresh();
    /// Windows rebuilt for the new screen configuration.
    void screensChanged();
    /// At quit: windows hidden.
    void willTerminate() { tearDown(); }

    double orangeIntensity() const { return orangeIntensity_; }
    double darkness() const { return darkness_; }
    std::size_t windowCount() const { return windows_.size(); }

private:
    void ensureWindows();
    void tearDown();

    OverlaySurfaces& surfaces_;
    Settings& settings_;
    Console& console_;
    NightShiftController& nightShift_;
    BrightnessController& brightness_;
    GammaController& gamma_;
    std::vector<std::unique_ptr<OverlaySurface>> windows_;
    double orangeIntensity_ = 0;
    double darkness_ = 0;
    bool reportedNoTranslucency_ = false;
    Handle screensHandle_;
};

/// A frame as the console prints it: "(x, y, width, height)" with decimal fractions.
std::string describeFrame(const Frame& frame);

} // namespace mirl
