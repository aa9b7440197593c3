#pragma once

#include "platform/GammaRamps.h"
#include "platform/NightLight.h"

namespace mirl {

/// The night light as the warmth half of the composed gamma ramps (X11 without a desktop
/// night light of its own). Strength and switch are kept; the ramps follow at once.
class RampNightLight final : public NightLight {
public:
    explicit RampNightLight(GammaRamps& ramps) : ramps_(ramps) {}

    std::string name() const override { return "gamma ramps (" + ramps_.name() + ")"; }
    NightLightCapabilities capabilities() const override { return {true, true, false}; }
    void setStrength(float strength, bool commit) override {
        strength_ = strength;
        if (enabled_ && commit)
            ramps_.setWhitePoint(whitePointForKelvin(kelvinForStrength(strength_)));
    }
    void setEnabled(bool enabled) override {
        enabled_ = enabled;
        ramps_.setWhitePoint(enabled ? whitePointForKelvin(kelvinForStrength(strength_)) : WhitePoint{});
    }
    void commitChanges() override {}
    void restore() override { setEnabled(false); }

private:
    GammaRamps& ramps_;
    float strength_ = 0;
    bool enabled_ = false;
};

} // namespace mirl
