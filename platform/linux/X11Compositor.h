#pragma once

#include <optional>

typedef struct _XDisplay Display;

namespace mirl {

/// Whether a compositing manager runs on the display's default screen (it owns the
/// _NET_WM_CM_S<n> selection). Without one, translucent windows are painted opaque.
bool x11CompositorRunning(Display* display);

/// The same on a connection of its own; nothing when the display cannot be opened.
std::optional<bool> x11CompositorRunning(const char* displayName);

} // namespace mirl
