#pragma once

#include "platform/Power.h"

namespace mirl {

/// Suspends through "systemctl suspend" (which asks logind), launched detached: the caller
/// never waits for the computer to go down.
class SystemdPower final : public Power {
public:
    std::optional<std::string> suspend() override;
};

} // namespace mirl
