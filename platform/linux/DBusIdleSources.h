#pragma once

#include "platform/linux/ProbeSources.h"

namespace mirl {

/// GNOME's idle monitor on the session bus (org.gnome.Mutter.IdleMonitor.GetIdletime, in ms);
/// works on Wayland.
class GnomeIdleSource final : public IdleSource {
public:
    std::string name() const override { return "gnome-mutter"; }
    std::optional<double> idleSeconds() override;
};

/// The screen saver service of KDE on the session bus
/// (org.freedesktop.ScreenSaver.GetSessionIdleTime, in ms).
class KdeIdleSource final : public IdleSource {
public:
    std::string name() const override { return "kde-screensaver"; }
    std::optional<double> idleSeconds() override;
};

} // namespace mirl
