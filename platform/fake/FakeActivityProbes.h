#pragma once

#include "platform/ActivityProbes.h"

namespace mirl {

/// Probes whose answers the test sets.
class FakeActivityProbes final : public ActivityProbes {
public:
    std::optional<double> idleSeconds() override { return idle; }
    bool isMediaPlaybackActive() override { return mediaPlaying; }
    std::optional<double> readAmbientLux() override {
        ++luxReads;
        return lux;
    }

    std::optional<double> idle = 0.0;
    bool mediaPlaying = false;
    std::optional<double> lux;
    int luxReads = 0;
};

} // namespace mirl
