#pragma once

#include <optional>
#include <string>

namespace mirl {

/// The system's sleep command.
class Power {
public:
    virtual ~Power() = default;
    /// Starts putting the computer to sleep and returns without waiting for it. Returns the
    /// reason when the command could not even be launched.
    virtual std::optional<std::string> suspend() = 0;
};

} // namespace mirl
