#pragma once

#include "platform/Backlight.h"

#include <vector>

namespace mirl {

/// Several backlight families as one: reads come from the first family that answers (in the
/// order given: the internal panel before external monitors), writes go to all of them.
class CompositeBacklight final : public Backlight {
public:
    explicit CompositeBacklight(std::vector<Backlight*> parts) : parts_(std::move(parts)) {}

    std::optional<float> readLevel() override {
        for (Backlight* part : parts_)
            if (auto level = part->readLevel()) {
                answered_ = part;
                return level;
            }
        answered_ = nullptr;
        return std::nullopt;
    }
    bool writeLevel(float level) override {
        bool any = false;
        for (Backlight* part : parts_)
            any = part->writeLevel(level) || any;
        return any;
    }
    /// The step of the family that answered the last read.
    double levelStep() override { return answered_ ? answered_->levelStep() : 0; }

private:
    std::vector<Backlight*> parts_;
    Backlight* answered_ = nullptr;
};

} // namespace mirl
