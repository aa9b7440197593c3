// What the fade outputs applied during the session: series without verdicts.

#include "journal/NumberText.h"
#include "journal/analysis/Heuristics.h"

#include <algorithm>

namespace mirl::heuristics {

HeuristicResult volumeApplied(std::span<const SessionEvent> events) {
    HeuristicResult result;
    result.id = "volume_applied";
    result.rawSeriesLabel = "Volume (%)";
    double initial = 50;
    double target = 35;
    for (const auto& event : events) {
        if (event.type == "volume_applied") {
            if (auto value = event.fields.integer("value")) {
                const std::string* source = event.fields.text("source");
                result.rawSeries.push_back(
                    {event.tFromStart, *value, source ? std::optional(*source) : std::nullopt});
            }
            initial = event.fields.integer("initial").value_or(initial);
            target = event.fields.integer("target").value_or(target);
        } else if (event.type == "autofader_start") {
            initial = event.fields.integer("initial_volume").value_or(initial);
        }
    }
    result.displayName =
        "Volume applied (init " + fixedText(initial, 0) + " \u2192 target " + fixedText(target, 0) + ")";
    result.yMin = 0;
    result.yMax = std::max(100.0, 1.1 * std::max(initial, target));
    return result;
}

HeuristicResult brightnessApplied(std::span<const SessionEvent> events) {
    HeuristicResult result;
    result.id = "brightness_applied";
    result.rawSeriesLabel = "Brightness (%)";
    double initial = 0.7;
    double floorPercent = 20;
    for (const auto& event : events) {
        if (event.type != "brightness_applied")
            continue;
        if (auto target = event.fields.number("target"))
            result.rawSeries.push_back({event.tFromStart, *target * 100, std::nullopt});
        initial = event.fields.number("initial").value_or(initial);
        floorPercent = event.fields.integer("floor_pct").value_or(floorPercent);
    }
    result.displayName = "Brightness applied (init " + fixedText(initial * 100, 0) + "% \u2192 target " +
                         fixedText(floorPercent * initial, 0) + "%)";
    result.yMin = 0;
    result.yMax = 100;
    return result;
}

} // namespace mirl::heuristics
