#pragma once

#include "runtime/Handle.h"

#include <functional>
#include <memory>
#include <vector>

namespace mirl {

/// A screen's or a window's frame in desktop coordinates.
struct Frame {
    double x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Frame&) const = default;
};

/// One overlay window: a full-screen surface holding an orange layer below a black one.
class OverlaySurface {
public:
    virtual ~OverlaySurface() = default;
    virtual Frame frame() const = 0;
    /// Opacities 0..1 of the orange and the black layer; applied at once, never animated.
    virtual void setOpacities(float orange, float dark) = 0;
    /// Hides the surface for good; the owner drops it afterwards.
    virtual void hide() = 0;
};

/// The window system side of the screen overlay: the screens, and click-through, always-on-top,
/// focus-less, translucent surfaces on them.
/// Thread rule: main thread.
class OverlaySurfaces {
public:
    virtual ~OverlaySurfaces() = default;
    /// The screens, in the window system's order.
    virtual std::vector<Frame> screens() = 0;
    /// False when translucent windows are impossible (X11 without a compositor): a veil would
    /// then be an opaque sheet hiding the desktop.
    virtual bool translucencyAvailable() = 0;
    /// A new, shown surface covering the screen at index with the given frame.
    virtual std::unique_ptr<OverlaySurface> create(std::size_t screenIndex, const Frame& frame) = 0;
    /// The stacking level surfaces are shown at (for the console line).
    virtual int windowLevel() const = 0;
    /// Calls changed (on the main thread) when screens come, go, move or resize.
    [[nodiscard]] virtual Handle onScreensChanged(std::function<void()> changed) = 0;
};

} // namespace mirl
