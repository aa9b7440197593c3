#pragma once

#include "platform/GammaRamps.h"

#include <vector>

namespace mirl {

/// Gamma ramps that remember the composition written and count the restores.
class FakeGammaRamps final : public GammaRamps {
public:
    std::string name() const override { return "fake"; }
    void setBrightness(double factor) override {
        brightness = factor;
        brightnessWrites.push_back(factor);
    }
    void setWhitePoint(WhitePoint wp) override {
        whitePoint = wp;
        ++whitePointWrites;
    }
    void restoreAll() override {
        brightness = 1.0;
        whitePoint = {};
        ++restoreAllCalls;
    }

    double brightness = 1.0;
    WhitePoint whitePoint;
    std::vector<double> brightnessWrites;
    int whitePointWrites = 0;
    int restoreAllCalls = 0;
};

} // namespace mirl
