#include "platform/linux/X11Compositor.h"

#include <X11/Xlib.h>

#include <string>

namespace mirl {

bool x11CompositorRunning(Display* display) {
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.c_str(), False);
    return XGetSelectionOwner(display, selection) != None;
}

std::optional<bool> x11CompositorRunning(const char* displayName) {
    Display* display = XOpenDisplay(displayName);
    if (!display)
        return std::nullopt;
    const bool running = x11CompositorRunning(display);
    XCloseDisplay(display);
    return running;
}

} // namespace mirl
