#pragma once

#include "platform/SystemVolume.h"

#include <memory>
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
    bool setVolume(int percent, std::string_view source, std::optional<int> initial = std::nullopt,
                   std::optional<int> target = std::nullopt) override {
        writes.push_back({percent, std::string(source), initial, target});
        if (!serverUp)
            return false;
        volume = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
        return true;
    }
    Handle listenToDefaultOutput(std::function<void()> listener) override {
        auto shared = std::make_shared<std::function<void()>>(std::move(listener));
        listeners_.push_back(shared);
        return Handle([weak = std::weak_ptr<std::function<void()>>(shared)] {
            if (auto l = weak.lock())
                *l = nullptr;
        });
    }

    // ---- Test controls ----
    /// The sound server goes away (writes fail) or comes back (listeners are called).
    void setServerUp(bool up) {
        serverUp = up;
        auto copy = listeners_;
        for (auto& listener : copy)
            if (*listener)
                (*listener)();
    }

    int volume = 50;
    bool serverUp = true;
    std::vector<Write> writes;

private:
    std::vector<std::shared_ptr<std::function<void()>>> listeners_;
};

} // namespace mirl
