#pragma once

#include "platform/SystemVolume.h"

#include <string>
#include <vector>

namespace mirl {

/// A system volume the test sets; records every write with its source.
class RecordingSystemVolume final : public SystemVolume {
public:
    struct Write {
        int percent;
        std::string source;
        std::optional<int> initial, target;
    };
    int currentVolume() override { return volume; }
    void setVolume(int percent, std::string_view source, std::optional<int> initial = std::nullopt,
                   std::optional<int> target = std::nullopt) override {
        volume = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
        writes.push_back({percent, std::string(source), initial, target});
    }

    int volume = 50;
    std::vector<Write> writes;
};

} // namespace mirl
