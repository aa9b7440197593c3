#pragma once

#include "journal/analysis/SessionAnalysis.h"

#include <cstdint>
#include <span>
#include <vector>

namespace mirl::heuristics {

/// Numbers the verdicts of one analysis in emission order.
class VerdictIds {
public:
    std::uint64_t next() { return ++last_; }

private:
    std::uint64_t last_ = 0;
};

/// Grid times 0, step, 2 step, ... up to durationSeconds; empty for a negative or non-finite
/// duration.
std::vector<double> grid(double durationSeconds, double minimumStepSeconds);

// The detectors' judgements, each one pass over the events in file order.
HeuristicResult phase(std::span<const SessionEvent> events, VerdictIds& ids);
HeuristicResult snoringStreak(std::span<const SessionEvent> events, double durationSeconds, VerdictIds& ids);
HeuristicResult rpmDrop(std::span<const SessionEvent> events, VerdictIds& ids);
HeuristicResult rmsDrop(std::span<const SessionEvent> events, VerdictIds& ids);
HeuristicResult userIdle(std::span<const SessionEvent> events, VerdictIds& ids);
HeuristicResult breathBand(std::span<const SessionEvent> events, VerdictIds& ids);

/// The weighted vote over the six results above.
HeuristicResult composite(std::span<const HeuristicResult> detectors, double durationSeconds,
                          VerdictIds& ids);

// What the fade outputs applied: series only.
HeuristicResult volumeApplied(std::span<const SessionEvent> events);
HeuristicResult brightnessApplied(std::span<const SessionEvent> events);

} // namespace mirl::heuristics
