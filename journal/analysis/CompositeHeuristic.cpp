#include "journal/NumberText.h"
#include "journal/analysis/Heuristics.h"

namespace mirl::heuristics {

namespace {

double weightOf(const std::string& id) {
    if (id == "breathband_tuned")
        return 0.4;
    if (id == "phase")
        return 0.2;
    if (id == "snoring_streak")
        return 0.15;
    if (id == "rpm_drop" || id == "rms_drop")
        return 0.1;
    if (id == "user_idle")
        return 0.05;
    return 0.1;
}

/// The last verdict in list order at or before t.
const HeuristicVerdict* currentVerdict(const HeuristicResult& result, double t) {
    for (auto it = result.verdicts.rbegin(); it != result.verdicts.rend(); ++it)
        if (it->timeFromStart <= t)
            return &*it;
    return nullptr;
}

} // namespace

HeuristicResult composite(std::span<const HeuristicResult> detectors, double durationSeconds,
                          VerdictIds& ids) {
    HeuristicResult result;
    result.id = "composite";
    result.displayName = "Composite (weighted vote)";
    result.rawSeriesLabel = "Score asleep";
    result.yMin = 0;
    result.yMax = 1;

    using Kind = HeuristicVerdict::Kind;
    Kind state = Kind::awake;
    for (double t : grid(durationSeconds, 5.0)) {
        double vote = 0;
        for (const auto& detector : detectors) {
            const HeuristicVerdict* current = currentVerdict(detector, t);
            if (current && (current->kind == Kind::asleep || current->kind == Kind::calming))
                vote += weightOf(detector.id) * current->score;
        }
        result.rawSeries.push_back({t, vote, std::nullopt});
        const Kind next = vote >= 0.5 ? Kind::asleep : Kind::awake;
        if (next != state) {
            state = next;
            result.verdicts.push_back({ids.next(), t, state, vote, "weighted vote " + fixedText(vote, 2)});
        }
    }
    return result;
}

} // namespace mirl::heuristics
