#pragma once

#include "platform/ActivityProbes.h"

namespace mirl {

/// Probes whose answers the test sets.
class FakeActivityProbes final : public ActivityProbes {
public:
    double idleSeconds() override { return idle; }
    bool isMediaPlaybackActive() override { return mediaPlaying; }
    std::optional<double> readAmbientLux() override {
        ++luxReads;
        return lux;
    }

    double idle = 0;
    bool mediaPlaying = false;
    std::optional<double> lux;
    int luxReads = 0;
};

} // namespace mirl
