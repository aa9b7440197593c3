#pragma once

#include "fade/BrightnessController.h"
#include "fade/GammaController.h"
#include "fade/NightShiftController.h"
#include "fade/ScreenOverlayController.h"
#include "journal/EventSink.h"
#include "platform/ActivityProbes.h"
#include "platform/RestoreState.h"
#include "platform/SystemVolume.h"
#include "runtime/Clock.h"

#include <optional>
#include <string_view>

namespace mirl {

/// The user's volume at the start of the first session since the last full restore, and the
/// restores that give the machine back: in full (end of a timer, day wake-up) or partially
/// (night wake-up: the screen stays dim, the volume comes back halfway). The held volume is
/// also kept in the restore state, so that a crash does not lose it.
///
/// A full restore that cannot set the volume (the sound server is away) keeps the baseline as
/// pending, in the restore state too, and sets it as soon as the sound server returns; a session
/// starting meanwhile takes it as its own baseline.
/// Thread rule: main thread.
class BaselineStore {
public:
    struct Outputs {
        ScreenOverlayController& overlay;
        BrightnessController& brightness;
        NightShiftController& nightShift;
        GammaController& gamma;
        SystemVolume& volume;
    };

    BaselineStore(Outputs outputs, ActivityProbes& probes, const Clock& clock, EventSink& events,
                  RestoreState& restoreState);

    /// Keeps v as the baseline unless one is already held (or pending). False when the baseline
    /// could not be recorded in the restore state: the caller must then leave the volume as it is.
    [[nodiscard]] bool captureInitialVolume(int v);
    /// Forgets the baseline (the control view's own restore does this).
    void clearInitialVolume();
    /// Sets v again as the user's volume ("baseline_restore"). When the sound server is away, v
    /// stays recorded ("baseline_volume_pending") and is set when the server returns; false then.
    bool putBackVolume(int v);
    std::optional<int> initialVolume() const { return initialVolume_; }
    /// A baseline a full restore could not set yet.
    std::optional<int> pendingVolume() const { return pendingVolume_; }

    /// The full restore: screen outputs neutral, the held volume back, the baseline forgotten.
    void restore(std::string_view reason);
    /// After a wake-up: the full restore by day (reason + "_day"); at night the screen dimmed
    /// to the partial level and the volume halfway back, the baseline kept.
    void restoreContextual(std::string_view reason);

private:
    Outputs outputs_;
    ActivityProbes& probes_;
    const Clock& clock_;
    EventSink& events_;
    RestoreState& restoreState_;
    void setPendingVolume();

    std::optional<int> initialVolume_;
    std::optional<int> pendingVolume_;
    Handle soundServerWatch_; // last: it calls into the fields above
};

} // namespace mirl
