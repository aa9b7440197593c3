#include "fade/BaselineStore.h"

#include "core/probes/DayNight.h"

#include <string>

namespace mirl {

BaselineStore::BaselineStore(Outputs outputs, ActivityProbes& probes, const Clock& clock, EventSink& events,
                             RestoreState& restoreState)
    : outputs_(outputs), probes_(probes), clock_(clock), events_(events), restoreState_(restoreState) {}

void BaselineStore::captureInitialVolume(int v) {
    if (initialVolume_)
        return;
    restoreState_.remember(restore_parts::volume, {{"percent", static_cast<long long>(v)}});
    initialVolume_ = v;
}

void BaselineStore::clearInitialVolume() {
    initialVolume_.reset();
    restoreState_.forget(restore_parts::volume);
}

void BaselineStore::restore(std::string_view reason) {
    outputs_.overlay.apply(0, 0);
    outputs_.brightness.restore();
    outputs_.nightShift.disable();
    outputs_.gamma.restore();
    if (initialVolume_)
        outputs_.volume.setVolume(*initialVolume_, "baseline_restore");
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
