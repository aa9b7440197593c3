#include "app/doctor/DoctorReport.h"

#include "platform/linux/DdcBacklight.h"
#include "platform/linux/NightLightBackends.h"
#include "platform/linux/QtScheduler.h"
#include "platform/linux/SysfsBacklight.h"
#include "platform/linux/X11Compositor.h"
#include "platform/linux/X11GammaRamps.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cmath>
#include <cstdio>

namespace mirl::doctor {

namespace {

/// The doctor only looks: nothing it opens may change the screen, so nothing is kept.
class NothingKept final : public RestoreState {
public:
    // Nothing recorded, so nothing may change.
    bool remember(std::string_view, const nlohmann::json&) override { return false; }
    void forget(std::string_view) override {}
};

std::string percent(double level) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f %%", level * 100.0);
    return text;
}

/// The RandR monitors, which is what Qt lists as screens on X11.
nlohmann::json randrScreens(std::vector<std::string>& lines) {
    nlohmann::json screens = nlohmann::json::array();
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        lines.push_back("screens: no X11 display (DISPLAY unset or not answering)");
        return screens;
    }
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    for (int i = 0; i < count; ++i) {
        char* name = XGetAtomName(display, monitors[i].name);
        const std::string label = name ? name : "?";
        if (name)
            XFree(name);
        screens.push_back({{"name", label},
                           {"x", monitors[i].x},
                           {"y", monitors[i].y},
                           {"width", monitors[i].width},
                           {"height", monitors[i].height}});
        lines.push_back("screen " + std::to_string(i) + ": " + label + " " +
                        std::to_string(monitors[i].width) + "x" + std::to_string(monitors[i].height) + "+" +
                        std::to_string(monitors[i].x) + "+" + std::to_string(monitors[i].y));
    }
    if (monitors)
        XRRFreeMonitors(monitors);
    XCloseDisplay(display);
    return screens;
}

} // namespace

Section screenSection() {
    Section s{"screen", {}, {}};
    StderrConsole console;
    NothingKept nothingKept;

    SysfsBacklight panel;
    nlohmann::json panels = nlohmann::json::array();
    for (const auto& device : panel.devices()) {
        const auto level = panel.levelOf(device);
        panels.push_back({{"name", device.name},
                          {"type", device.type},
                          {"max", device.maxRaw},
                          {"level", level ? nlohmann::json(*level) : nlohmann::json()}});
        s.lines.push_back("backlight " + device.name + " (" + device.type + ", max " +
                          std::to_string(device.maxRaw) + "): " + (level ? percent(*level) : "unreadable"));
    }
    if (panels.empty())
        s.lines.push_back("backlight: no panel under /sys/class/backlight");
    s.data["backlight"] = panels;

    DdcBacklight ddc;
    ddc.waitIdle();
    nlohmann::json monitors = nlohmann::json::array();
    for (const auto& m : ddc.monitors()) {
        monitors.push_back({{"model", m.model}, {"max", m.maxRaw}, {"current", m.currentRaw}});
        s.lines.push_back("DDC/CI monitor " + m.model + ": " + std::to_string(m.currentRaw) + " of " +
                          std::to_string(m.maxRaw));
    }
    if (!ddc.libraryLoaded())
        s.lines.push_back("DDC/CI monitors: libddcutil is not installed");
    else if (monitors.empty())
        s.lines.push_back("DDC/CI monitors: none answer (needs i2c-dev and access to /dev/i2c-*)");
    s.data["ddc_monitors"] = monitors;

    auto ramps = X11GammaRamps::open(nothingKept, console);
    nlohmann::json crtcs = nlohmann::json::array();
    if (ramps) {
        for (const auto& crtc : ramps->crtcs()) {
            crtcs.push_back({{"id", crtc.id}, {"ramp_size", crtc.size}});
            s.lines.push_back("gamma CRTC " + std::to_string(crtc.id) + ": ramp of " +
                              std::to_string(crtc.size));
        }
    } else {
        s.lines.push_back("gamma: no X11 display with RandR gamma ramps (gamma dimming does nothing)");
    }
    s.data["gamma_crtcs"] = crtcs;

    const auto compositor = x11CompositorRunning(static_cast<const char*>(nullptr));
    s.data["compositor"] = compositor ? nlohmann::json(*compositor) : nlohmann::json();
    if (!compositor)
        s.lines.push_back("compositor: no X11 display");
    else if (*compositor)
        s.lines.push_back("compositor: running (the overlay veil is translucent)");
    else
        s.lines.push_back("compositor: none running, so the overlay veil stays off; gamma, night light and "
                          "backlight still dim");

    QtScheduler scheduler;
    auto nightLight = chooseNightLight(ramps.get(), scheduler, nothingKept, console);
    s.data["night_light"] = nightLight ? nlohmann::json(nightLight->name()) : nlohmann::json();
    s.lines.push_back("night light: " + (nightLight ? nightLight->name() : std::string("none available")));

    s.data["screens"] = randrScreens(s.lines);
    return s;
}

} // namespace mirl::doctor
