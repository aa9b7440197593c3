#pragma once

#include "platform/Backlight.h"

#include <vector>

namespace mirl {

/// A backlight whose level the test sets; records every write. With answers false, reads
/// give nothing (no display answers) and writes are refused.
class FakeBacklight final : public Backlight {
public:
    std::optional<float> readLevel() override {
        ++reads;
        if (!answers)
            return std::nullopt;
        return level;
    }
    bool writeLevel(float value) override {
        writes.push_back(value);
        if (!answers)
            return false;
        level = value;
        return true;
    }

    float level = 0.8f;
    bool answers = true;
    int reads = 0;
    std::vector<float> writes;
};

} // namespace mirl
