#pragma once

#include <QApplication>

#include <memory>

namespace mirl {

/// The Qt application object of a Mirl process, named "Mirl". Without any display (no DISPLAY
/// or WAYLAND_DISPLAY) Qt's offscreen platform stands in, so that a session still runs with the
/// volume, backlight and night light, only without the veil.
std::unique_ptr<QApplication> makeApplication(int& argc, char** argv);

} // namespace mirl
