#pragma once

#include "platform/NightLight.h"
#include "platform/RestoreState.h"
#include "runtime/Console.h"

#include <memory>
#include <optional>

typedef struct _GSettings GSettings;

namespace mirl {

/// GNOME's own night light, through the org.gnome.settings-daemon.plugins.color keys. Before
/// the first change the user's values of the five keys Mirl touches are kept (in memory and in
/// the restore state); switching off puts them back exactly (a key the user never set is reset
/// to its default). While on, the schedule is manual and spans the whole day, so the warmth
/// shows at once; the temperature key is written when it moves by 25 K or more (every write
/// is a dconf database write).
/// Thread rule: main thread.
class GnomeNightLight final : public NightLight {
public:
    static constexpr const char* kSchema = "org.gnome.settings-daemon.plugins.color";

    /// Nothing when the schema is not installed.
    static std::unique_ptr<GnomeNightLight> open(RestoreState& restoreState, Console& console);
    /// True when GNOME's colour plugin runs on the session bus (the keys then take effect).
    static bool desktopAnswers();
    /// Puts back values a crashed process kept in its restore state; values that are not of
    /// the keys' types and ranges no longer apply.
    static Recovery restoreSnapshot(const nlohmann::json& part);

    ~GnomeNightLight() override;
    GnomeNightLight(const GnomeNightLight&) = delete;
    GnomeNightLight& operator=(const GnomeNightLight&) = delete;

    std::string name() const override { return "GNOME night light"; }
    NightLightCapabilities capabilities() const override { return {true, true, false}; }
    void setStrength(float strength, bool commit) override;
    void setEnabled(bool enabled) override;
    void commitChanges() override {}
    void restore() override { setEnabled(false); }

private:
    GnomeNightLight(GSettings* settings, RestoreState& restoreState);
    void writeTemperature(bool force);

    GSettings* settings_;
    RestoreState& restoreState_;
    float strength_ = 0;
    bool active_ = false;
    std::optional<int> writtenKelvin_;
    nlohmann::json saved_;
};

} // namespace mirl
