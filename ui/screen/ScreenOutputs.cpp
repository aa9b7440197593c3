#include "ui/screen/ScreenOutputs.h"

#include "platform/linux/NightLightBackends.h"

#include <QCoreApplication>

#include <QCoreApplication>

namespace mirl {

namespace {

std::unique_ptr<X11GammaRamps> openRamps(RestoreState& restoreState, Console& console) {
    auto ramps = X11GammaRamps::open(restoreState, console);
    if (ramps)
        ramps->startWatching();
    return ramps;
}

} // namespace

ScreenOutputs::ScreenOutputs(Settings& settings, EventSink& events, Console& console, Scheduler& scheduler,
                             RestoreState& restoreState)
    : ramps(openRamps(restoreState, console)),
      nightLight(chooseNightLight(ramps.get(), scheduler, restoreState, console)),
      brightness(backlight, settings, events, restoreState), gamma(ramps.get()),
      nightShift(nightLight.get(), console),
      overlay(surfaces, settings, console, nightShift, brightness, gamma),
      quitWatch_(std::make_unique<QObject>()) {
    if (auto* app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, quitWatch_.get(), [this] { willTerminate(); });
}

ScreenOutputs::~ScreenOutputs() = default;

void ScreenOutputs::willTerminate() {
    overlay.willTerminate();
    brightness.willTerminate();
    nightShift.willTerminate();
    gamma.willTerminate();
}

} // namespace mirl
