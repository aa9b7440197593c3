#pragma once

#include "platform/Backlight.h"

#include <vector>

namespace mirl {

/// A backlight whose level the test sets; records every write. With answers false, reads
/// give nothing (no display answers) and writes are refused. With steps above 0 it behaves like
/// a panel whose range has that many levels: a write lands on the nearest one.
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
        level = steps > 0 ? static_cast<float>(backlightRawValue(value, steps)) / static_cast<float>(steps)
                          : value;
        return true;
    }
    double levelStep() override { return steps > 0 ? 1.0 / steps : 0; }

    float level = 0.8f;
    bool answers = true;
    long long steps = 0;
    int reads = 0;
    std::vector<float> writes;
};

} // namespace mirl
