#pragma once

#include "runtime/Handle.h"

#include <functional>
#include <optional>
#include <string_view>

namespace mirl {

/// The system output volume in whole percent, as the fade engine and the restores use it.
/// SystemAudio is the real one.
class SystemVolume {
public:
    virtual ~SystemVolume() = default;
    /// The current output volume, 0..100; 50 when nothing can be read.
    virtual int currentVolume() = 0;
    /// Sets the output volume (clamped to 0..100). source names the writer in the session log
    /// ("autofade", "baseline_restore", ...); initial and target describe the fade, when there is one.
    /// False when the volume could not be set (the sound server is away).
    virtual bool setVolume(int percent, std::string_view source, std::optional<int> initial = std::nullopt,
                           std::optional<int> target = std::nullopt) = 0;
    /// Calls listener on the main thread after the default output changed, also when the sound
    /// server left or came back (a restore that failed may then be tried again).
    [[nodiscard]] virtual Handle listenToDefaultOutput(std::function<void()> listener) = 0;
};

} // namespace mirl
