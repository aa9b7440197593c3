#pragma once

#include "platform/Power.h"

namespace mirl {

/// Records suspend requests instead of suspending; can be told to fail.
class FakePower final : public Power {
public:
    std::optional<std::string> suspend() override {
        ++suspendCalls;
        return failure;
    }

    int suspendCalls = 0;
    std::optional<std::string> failure;
};

} // namespace mirl
