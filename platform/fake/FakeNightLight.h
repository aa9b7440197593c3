#pragma once

#include "platform/NightLight.h"

#include <string>
#include <vector>

namespace mirl {

/// A night light that records its calls in order ("strength 0.5 commit", "enable", "disable",
/// "commit", "restore") and offers the capabilities the test sets.
class FakeNightLight final : public NightLight {
public:
    std::string name() const override { return "fake"; }
    NightLightCapabilities capabilities() const override { return caps; }
    void setStrength(float s, bool commit) override {
        strength = s;
        calls.push_back("strength " + std::to_string(s) + (commit ? " commit" : ""));
    }
    void setEnabled(bool on) override {
        enabled = on;
        calls.emplace_back(on ? "enable" : "disable");
    }
    void commitChanges() override { calls.emplace_back("commit"); }
    void restore() override {
        enabled = false;
        calls.emplace_back("restore");
    }

    NightLightCapabilities caps;
    float strength = 0;
    bool enabled = false;
    std::vector<std::string> calls;
};

} // namespace mirl
