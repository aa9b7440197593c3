#pragma once

#include "core/settings/Settings.h"
#include "fade/BrightnessController.h"
#include "fade/GammaController.h"
#include "fade/NightShiftController.h"
#include "fade/ScreenOverlayController.h"
#include "journal/EventSink.h"
#include "platform/CompositeBacklight.h"
#include "platform/RestoreState.h"
#include "platform/linux/DdcBacklight.h"
#include "platform/linux/SysfsBacklight.h"
#include "platform/linux/X11GammaRamps.h"
#include "runtime/Console.h"
#include "runtime/Scheduler.h"
#include "ui/overlay/QtOverlaySurfaces.h"

#include <QObject>

#include <memory>

namespace mirl {

/// The screen outputs of a Linux desktop, built once by the composition root: the panel
/// backlight before DDC monitors, XRandR gamma ramps (when X11 offers them), the desktop's
/// night light, the Qt overlay windows, and the four controllers over them. Backends that
/// find nothing leave their controller without effect.
/// Thread rule: main thread, with a QApplication.
class ScreenOutputs {
public:
    ScreenOutputs(Settings& settings, EventSink& events, Console& console, Scheduler& scheduler,
                  RestoreState& restoreState);

    ~ScreenOutputs();
    ScreenOutputs(const ScreenOutputs&) = delete;
    ScreenOutputs& operator=(const ScreenOutputs&) = delete;

    /// At quit (also run on QCoreApplication::aboutToQuit): windows hidden, backlight, night
    /// light and gamma put back. Safe to call twice.
    void willTerminate();

    SysfsBacklight panel;
    DdcBacklight monitors;
    CompositeBacklight backlight{{&panel, &monitors}};
    std::unique_ptr<X11GammaRamps> ramps;
    std::unique_ptr<NightLight> nightLight;
    QtOverlaySurfaces surfaces;
    BrightnessController brightness;
    GammaController gamma;
    NightShiftController nightShift;
    ScreenOverlayController overlay;

private:
    std::unique_ptr<QObject> quitWatch_;
};

} // namespace mirl
