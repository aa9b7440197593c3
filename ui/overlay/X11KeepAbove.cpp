#include "ui/overlay/X11KeepAbove.h"

#include <QSocketNotifier>
#include <QTimer>

#include <X11/Xlib.h>

#include <algorithm>
#include <optional>

namespace mirl {

namespace {

constexpr auto kMinGap = std::chrono::milliseconds(100);

// A window can vanish between our raise and the server's handling of it (its owner destroyed
// it): on our own connections that BadWindow is expected, and must not end the process as
// Xlib's default handler would. Errors on any other connection go to the handler before ours.
std::vector<Display*> ownDisplays;
XErrorHandler previousHandler = nullptr;

int ignoreVanishedWindows(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow &&
        std::find(ownDisplays.begin(), ownDisplays.end(), display) != ownDisplays.end())
        return 0;
    return previousHandler ? previousHandler(display, error) : 0;
}

/// The window an event is about, for the events that change what is on top.
std::optional<Window> restacked(const XEvent& e) {
    switch (e.type) {
    case MapNotify:
        return e.xmap.window;
    case ConfigureNotify:
        return e.xconfigure.window;
    case CirculateNotify:
        return e.xcirculate.window;
    default:
        return std::nullopt;
    }
}

} // namespace

X11KeepAbove::X11KeepAbove() {
    display_ = XOpenDisplay(nullptr);
    if (!display_)
        return;
    if (ownDisplays.empty())
        previousHandler = XSetErrorHandler(ignoreVanishedWindows);
    ownDisplays.push_back(display_);
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XFlush(display_);
    notifier_ = new QSocketNotifier(ConnectionNumber(display_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { readEvents(); });
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { raiseNow(); });
}

X11KeepAbove::~X11KeepAbove() {
    delete notifier_;
    if (!display_)
        return;
    XCloseDisplay(display_);
    ownDisplays.erase(std::remove(ownDisplays.begin(), ownDisplays.end(), display_), ownDisplays.end());
    if (ownDisplays.empty()) {
        // Put the earlier handler back, unless somebody replaced ours meanwhile.
        const XErrorHandler current = XSetErrorHandler(previousHandler);
        if (current != ignoreVanishedWindows)
            XSetErrorHandler(current);
    }
}

void X11KeepAbove::add(unsigned long window) {
    if (std::find(windows_.begin(), windows_.end(), window) == windows_.end())
        windows_.push_back(window);
}

void X11KeepAbove::remove(unsigned long window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

void X11KeepAbove::readEvents() {
    bool others = false;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        const auto window = restacked(event);
        // Our own raises come back as events about our windows: those never call for another.
        if (window && std::find(windows_.begin(), windows_.end(), *window) == windows_.end())
            others = true;
    }
    if (others && !windows_.empty())
        raiseSoon();
}

void X11KeepAbove::raiseSoon() {
    if (timer_->isActive())
        return;
    const auto since = std::chrono::steady_clock::now() - lastRaise_;
    if (since >= kMinGap)
        raiseNow();
    else
        timer_->start(std::chrono::duration_cast<std::chrono::milliseconds>(kMinGap - since));
}

void X11KeepAbove::raiseNow() {
    if (!display_ || windows_.empty())
        return;
    for (unsigned long window : windows_)
        XRaiseWindow(display_, window);
    XFlush(display_);
    lastRaise_ = std::chrono::steady_clock::now();
    // XFlush may have read events into Xlib's queue without the socket turning readable again.
    if (XPending(display_) > 0)
        QTimer::singleShot(0, this, [this] { readEvents(); });
}

} // namespace mirl
