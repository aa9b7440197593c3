#pragma once

#include "platform/linux/ProbeSources.h"

#include <mutex>

struct _XDisplay;

namespace mirl {

/// Idle time from the X server's screen-saver extension (XScreenSaverQueryInfo). Under XWayland
/// the X server sees only X clients' input, so the composite does not use it there.
///
/// Thread rule: any thread; one mutex guards the display connection, which is opened on first
/// use and kept.
class X11IdleSource final : public IdleSource {
public:
    X11IdleSource() = default;
    ~X11IdleSource() override;
    X11IdleSource(const X11IdleSource&) = delete;
    X11IdleSource& operator=(const X11IdleSource&) = delete;

    std::string name() const override { return "x11-screensaver"; }
    std::optional<double> idleSeconds() override;

private:
    bool ensureDisplay();

    std::mutex mutex_;
    _XDisplay* display_ = nullptr;
    bool tried_ = false;
    bool hasExtension_ = false;
};

} // namespace mirl
