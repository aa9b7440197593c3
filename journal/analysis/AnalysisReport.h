#pragma once

#include "journal/analysis/SessionAnalysis.h"

#include <nlohmann/json.hpp>

#include <string>

namespace mirl {

/// The analysis for scripts: start, duration, event count, then per result its id, display
/// name, series (point count, label, y range) and verdicts (time, kind, score, detail), and the
/// composite vote's summary (highest vote, last vote, first time asleep).
nlohmann::json analysisReportJson(const SessionAnalysis& analysis);

/// The same for people, one verdict per line.
std::string analysisReportText(const SessionAnalysis& analysis);

} // namespace mirl
