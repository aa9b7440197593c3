#pragma once

#include "platform/Backlight.h"

#include <vector>

namespace mirl {

/// A backlight whose levels the test sets: the panel "fake:panel" (`level`) and any other
/// displays in `others`; records every write. With answers false, reads give nothing (no display
/// answers) and writes are refused. With steps above 0 the panel behaves like one whose range has
/// that many levels: a write lands on the nearest one.
class FakeBacklight final : public Backlight {
public:
    static constexpr const char* panelId = "fake:panel";

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
        level = landed(value);
        for (auto& other : others)
            other.level = value;
        return true;
    }
    std::vector<DisplayLevel> readLevels() override {
        ++reads;
        if (!answers)
            return {};
        std::vector<DisplayLevel> all{{panelId, level}};
        all.insert(all.end(), others.begin(), others.end());
        return all;
    }
    std::vector<std::string> writeLevels(const std::vector<DisplayLevel>& levels) override {
        levelWrites.push_back(levels);
        std::vector<std::string> took;
        if (!answers)
            return took;
        for (const DisplayLevel& wanted : levels) {
            if (wanted.id == panelId) {
                level = landed(wanted.level);
                writes.push_back(wanted.level);
                took.push_back(wanted.id);
            }
            for (auto& other : others)
                if (other.id == wanted.id) {
                    other.level = wanted.level;
                    took.push_back(wanted.id);
                }
        }
        return took;
    }

    /// The level of a display by its identifier; nothing when there is none.
    std::optional<float> levelOf(const std::string& id) const {
        if (id == panelId)
            return level;
        for (const auto& other : others)
            if (other.id == id)
                return other.level;
        return std::nullopt;
    }
    double levelStep() override { return steps > 0 ? 1.0 / steps : 0; }
    /// Where a write of value lands on the panel.
    float landed(float value) const {
        return steps > 0 ? static_cast<float>(backlightRawValue(value, steps)) / static_cast<float>(steps)
                         : value;
    }

    float level = 0.8f;
    std::vector<DisplayLevel> others;
    bool answers = true;
    long long steps = 0;
    int reads = 0;
    std::vector<float> writes; ///< every level written to the panel
    std::vector<std::vector<DisplayLevel>> levelWrites;
};

} // namespace mirl
