#pragma once

#include "platform/NightLight.h"
#include "runtime/Handle.h"
#include "runtime/Scheduler.h"

#include <memory>
#include <string>

namespace mirl {

/// KDE Plasma's night light, through KWin's colour-temperature preview on the session bus
/// (Plasma 6: org.kde.KWin.NightLight at /org/kde/KWin/NightLight; Plasma 5: org.kde.KWin at
/// /ColorCorrect). A preview ends by itself after a few seconds, so it is renewed every 10
/// seconds while on, and a crash leaves nothing to put back; switching off stops it. The
/// user's own night-light settings are never touched. Calls do not wait for their replies.
/// Thread rule: main thread.
class KWinNightLight final : public NightLight {
public:
    struct Endpoint {
        std::string service, path, interface;
    };

    /// Nothing when KWin's night light does not answer on the session bus.
    static std::unique_ptr<KWinNightLight> open(Scheduler& scheduler);
    KWinNightLight(Endpoint endpoint, Scheduler& scheduler);

    std::string name() const override { return "KWin night light preview"; }
    NightLightCapabilities capabilities() const override { return {true, true, false}; }
    void setStrength(float strength, bool commit) override;
    void setEnabled(bool enabled) override;
    void commitChanges() override {}
    void restore() override { setEnabled(false); }

private:
    void preview();
    void send(const char* method, bool withKelvin);

    Endpoint endpoint_;
    Scheduler& scheduler_;
    float strength_ = 0;
    bool enabled_ = false;
    Handle renewal_;
};

} // namespace mirl
