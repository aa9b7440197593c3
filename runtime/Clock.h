#pragma once

#include "runtime/Duration.h"

namespace mirl {

/// The wall clock. Every engine takes a Clock&; nothing else reads the system time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
};

class SystemClock final : public Clock {
public:
    TimePoint now() const override { return std::chrono::system_clock::now(); }
};

} // namespace mirl
