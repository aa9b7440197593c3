#include "fade/BaselineStore.h"

#include "core/probes/DayNight.h"

#include <string>
#include <utility>

namespace mirl {

BaselineStore::BaselineStore(Outputs outputs, ActivityProbes& probes, const Clock& clock, EventSink& events,
                             RestoreState& restoreState)
    : outputs_(outputs), probes_(probes), clock_(clock), events_(events), restoreState_(restoreState),
      soundServerWatch_(outputs_.volume.listenToDefaultOutput([this] { setPendingVolume(); })) {}

bool BaselineStore::captureInitialVolume(int v) {
    if (initialVolume_)
        return true;
    if (pendingVolume_) {
        // The last restore could not set it: it is still the user's own volume, and recorded.
        initialVolume_ = std::exchange(pendingVolume_, std::nullopt);
        return true;
    }
    // Held even when it cannot be recorded, so that the normal restore still puts it back.
    initialVolume_ = v;
    return restoreState_.remember(restore_parts::volume, {{"percent", static_cast<long long>(v)}});
}

void BaselineStore::setPendingVolume() {
    if (!pendingVolume_ || initialVolume_)
        return;
    if (!outputs_.volume.setVolume(*pendingVolume_, "baseline_restore"))
        return;
    pendingVolume_.reset();
    restoreState_.forget(restore_parts::volume);
}

void BaselineStore::clearInitialVolume() {
    initialVolume_.reset();
    if (!pendingVolume_)
        restoreState_.forget(restore_parts::volume);
}

bool BaselineStore::putBackVolume(int v) {
    if (outputs_.volume.setVolume(v, "baseline_restore"))
        return true;
    // The sound server is away: the volume stays recorded and goes back when it returns.
    pendingVolume_ = v;
    (void)restoreState_.remember(restore_parts::volume, {{"percent", static_cast<long long>(v)}});
    events_.log("baseline_volume_pending", {{"volume", static_cast<long long>(v)}});
    return false;
}

void BaselineStore::restore(std::string_view reason) {
    outputs_.overlay.apply(0, 0);
    outputs_.brightness.restore();
    outputs_.nightShift.disable();
    outputs_.gamma.restore();
    if (initialVolume_)
        putBackVolume(*initialVolume_);
    events_.log("baseline_restored", {{"reason", std::string(reason)},
                                      {"volume", static_cast<long long>(initialVolume_.value_or(-1))}});
    clearInitialVolume();
}

void BaselineStore::restoreContextual(std::string_view reason) {
    const bool night = isNightByLight(probes_, clock_);
    const std::optional<double> lux = probes_.readAmbientLux();
    events_.log("baseline_restore_contextual", {{"reason", std::string(reason)},
                                                {"day_state", night ? "night" : "day"},
                                                {"lux", lux.value_or(-1.0)}});
    if (!night) {
        restore(std::string(reason) + "_day");
        return;
    }
    outputs_.overlay.apply(0.07, 0.3);
    outputs_.brightness.apply(0.3);
    if (initialVolume_) {
        const int current = outputs_.volume.currentVolume();
        outputs_.volume.setVolume((current + *initialVolume_) / 2, "baseline_restore_partial_night");
    }
}

} // namespace mirl
