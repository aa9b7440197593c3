#pragma once

#include "platform/Backlight.h"

#include <vector>

namespace mirl {

/// Several backlight families as one: reads come from the first family that answers (in the
/// order given: the internal panel before external monitors), writes go to all of them; each
/// family takes the per-display levels of its own displays.
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
    std::vector<DisplayLevel> readLevels() override {
        std::vector<DisplayLevel> all;
        for (Backlight* part : parts_)
            for (auto& display : part->readLevels())
                all.push_back(std::move(display));
        return all;
    }
    std::vector<std::string> writeLevels(const std::vector<DisplayLevel>& levels) override {
        std::vector<std::string> took;
        for (Backlight* part : parts_)
            for (auto& id : part->writeLevels(levels))
                took.push_back(std::move(id));
        return took;
    }
    /// The step of the family that answered the last read.
    double levelStep() override { return answered_ ? answered_->levelStep() : 0; }

private:
    std::vector<Backlight*> parts_;
    Backlight* answered_ = nullptr;
};

} // namespace mirl
