#pragma once

#include "core/settings/Settings.h"
#include "journal/EventSink.h"
#include "platform/Backlight.h"
#include "platform/RestoreState.h"

#include <optional>

namespace mirl {

/// Lowers the hardware brightness as the ambiance deepens and puts it back afterwards. The
/// level found before the first dimming (savedLevel) is scaled towards a floor percentage; a
/// change made by someone else since the last write can be reported as a darkness.
///
/// States: Undimmed (no savedLevel) and Dimmed. The saved level is also kept in the restore
/// state, so that a crash while Dimmed is repaired at the next launch.
/// Thread rule: main thread.
class BrightnessController {
public:
    static constexpr double overrideTolerance = 0.04;

    BrightnessController(Backlight& backlight, Settings& settings, EventSink& events,
                         RestoreState& restoreState);

    /// Dims towards the floor, or restores when darkness is below 0.001.
    void apply(double darkness);
    /// Forgets the last written level; writes savedLevel back, if any, and forgets it.
    void restore();
    /// The darkness equivalent of a brightness change made by someone else since the last
    /// write, or nothing. A reported level is accepted, so the same change is reported once.
    /// A change must exceed the larger of overrideTolerance and one step of the display that
    /// answers; when no display answers there is nothing to compare, so no override.
    std::optional<double> detectOverride();
    void setBrightness(float level);
    /// The level of the first display that answers; 0.7 when none does.
    float getBrightness();
    /// At quit: writes the saved level back when dimmed.
    void willTerminate() { restore(); }

    std::optional<float> savedLevel() const { return savedLevel_; }
    std::optional<float> lastAppliedLevel() const { return lastAppliedLevel_; }

private:
    int floorPercent() const;

    Backlight& backlight_;
    Settings& settings_;
    EventSink& events_;
    RestoreState& restoreState_;
    std::optional<float> savedLevel_;
    std::optional<float> lastAppliedLevel_;
};

} // namespace mirl
