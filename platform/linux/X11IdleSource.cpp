#include "platform/linux/X11IdleSource.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <cstdlib>

namespace mirl {

X11IdleSource::~X11IdleSource() {
    if (display_)
        XCloseDisplay(display_);
}

bool X11IdleSource::ensureDisplay() {
    if (tried_)
        return display_ && hasExtension_;
    tried_ = true;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
        return false;
    display_ = XOpenDisplay(name);
    if (!display_)
        return false;
    int eventBase = 0, errorBase = 0;
    hasExtension_ = XScreenSaverQueryExtension(display_, &eventBase, &errorBase);
    return hasExtension_;
}

std::optional<double> X11IdleSource::idleSeconds() {
    std::lock_guard lock(mutex_);
    if (!ensureDisplay())
        return std::nullopt;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    if (!info)
        return std::nullopt;
    std::optional<double> result;
    if (XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), info))
        result = static_cast<double>(info->idle) / 1000.0;
    XFree(info);
    return result;
}

} // namespace mirl
