#include "journal/analysis/AnalysisReport.h"

#include "journal/JsonLine.h"
#include "journal/NumberText.h"
#include "journal/annotations/SleepIntervals.h"

#include <algorithm>

namespace mirl {

namespace {

struct VoteSummary {
    std::optional<double> firstAsleep;
    double highest = 0;
    double last = 0;
};

VoteSummary voteSummary(const SessionAnalysis& analysis) {
    VoteSummary vote;
    for (const auto& result : analysis.results) {
        if (result.id != "composite")
            continue;
        for (const auto& point : result.rawSeries)
            vote.highest = std::max(vote.highest, point.value);
        if (!result.rawSeries.empty())
            vote.last = result.rawSeries.back().value;
        if (const auto* asleep = result.firstAsleep())
            vote.firstAsleep = asleep->timeFromStart;
    }
    return vote;
}

} // namespace

nlohmann::json analysisReportJson(const SessionAnalysis& analysis) {
    nlohmann::json results = nlohmann::json::array();
    for (const auto& result : analysis.results) {
        nlohmann::json verdicts = nlohmann::json::array();
        for (const auto& verdict : result.verdicts)
            verdicts.push_back({{"t", verdict.timeFromStart},
                                {"time", timeText(verdict.timeFromStart)},
                                {"kind", kindName(verdict.kind)},
                                {"score", verdict.score},
                                {"detail", verdict.detail}});
        const auto* asleep = result.firstAsleep();
        results.push_back(
            {{"id", result.id},
             {"display_name", result.displayName},
             {"first_asleep", asleep ? nlohmann::json(asleep->timeFromStart) : nlohmann::json()},
             {"series",
              {{"points", result.rawSeries.size()},
               {"label", result.rawSeriesLabel},
               {"y_min", result.yMin},
               {"y_max", result.yMax}}},
             {"verdicts", std::move(verdicts)}});
    }
    const VoteSummary vote = voteSummary(analysis);
    return {{"start", formatTimestamp(analysis.startDate)},
            {"duration_seconds", analysis.durationSeconds},
            {"events", analysis.events.size()},
            {"results", std::move(results)},
            {"vote",
             {{"first_asleep", vote.firstAsleep ? nlohmann::json(*vote.firstAsleep) : nlohmann::json()},
              {"highest", vote.highest},
              {"last", vote.last}}}};
}

std::string analysisReportText(const SessionAnalysis& analysis) {
    std::string out;
    out += "Start:    " + formatTimestamp(analysis.startDate) + "\n";
    out += "Duration: " + timeText(analysis.durationSeconds) + " (" + fixedText(analysis.durationSeconds, 1) +
           " s)\n";
    out += "Events:   " + std::to_string(analysis.events.size()) + "\n";
    for (const auto& result : analysis.results) {
        out += "\n" + result.id + ": " + result.displayName + "\n";
        const std::size_t points = result.rawSeries.size();
        out += "  series: " + std::to_string(points) + (points == 1 ? " point" : " points") + " of \"" +
               result.rawSeriesLabel + "\", y " + shortestText(result.yMin) + " to " +
               shortestText(result.yMax) + "\n";
        for (const auto& verdict : result.verdicts) {
            std::string kind(kindName(verdict.kind));
            kind.resize(8, ' ');
            out += "  " + timeText(verdict.timeFromStart) + "  " + kind + fixedText(verdict.score, 2) + "  " +
                   verdict.detail + "\n";
        }
        if (result.verdicts.empty())
            out += "  no verdict\n";
    }
    const VoteSummary vote = voteSummary(analysis);
    out += "\nVote: highest " + fixedText(vote.highest, 2) + ", last " + fixedText(vote.last, 2) + ", " +
           (vote.firstAsleep ? "asleep @ " + timeText(*vote.firstAsleep) : std::string("never asleep")) +
           "\n";
    return out;
}

} // namespace mirl
