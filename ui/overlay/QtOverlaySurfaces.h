#pragma once

#include "platform/OverlaySurfaces.h"

typedef struct _XDisplay Display;

namespace mirl {

class X11KeepAbove;

/// Overlay surfaces as Qt top-level windows, one per QScreen. Screen changes come from
/// QGuiApplication::screenAdded/screenRemoved and QScreen::geometryChanged, delivered on the
/// next turn of the event loop (when the screen list is settled). On X11 translucency needs a
/// compositing manager, checked on every call. On X11 the windows are kept above every other
/// window while shown (X11KeepAbove): the window manager would otherwise stack a window mapped,
/// clicked or made full screen after them above them. On Wayland the stacking is the
/// compositor's: the windows ask to stay on top, which most compositors do not grant.
/// Thread rule: main thread, with a QGuiApplication.
class QtOverlaySurfaces final : public OverlaySurfaces {
public:
    QtOverlaySurfaces();
    ~QtOverlaySurfaces() override;
    QtOverlaySurfaces(const QtOverlaySurfaces&) = delete;
    QtOverlaySurfaces& operator=(const QtOverlaySurfaces&) = delete;

    std::vector<Frame> screens() override;
    bool translucencyAvailable() override;
    std::unique_ptr<OverlaySurface> create(std::size_t screenIndex, const Frame& frame) override;
    /// Above the stays-on-top layer.
    int windowLevel() const override { return 1; }
    Handle onScreensChanged(std::function<void()> changed) override;

private:
    Display* x11_ = nullptr;                  // own connection for the compositor check; null off X11
    std::unique_ptr<X11KeepAbove> keepAbove_; // null off X11
};

} // namespace mirl
