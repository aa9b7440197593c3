#include "fuzz/harnesses/Harnesses.h"
#include "journal/JsonLine.h"
#include "journal/analysis/AnalysisReport.h"
#include "journal/analysis/SessionAnalysis.h"

#include <cmath>
#include <cstring>

namespace mirl::fuzz {

void sessionLog(Input input) {
    Bytes bytes(input);
    // The first byte says whether a duration replaces the log's own (as the review window's
    // recording length or mirl-analyze's --duration do), the next eight give it.
    std::optional<double> duration;
    if (bytes.byte() & 1) {
        const std::uint64_t bits =
            static_cast<std::uint64_t>(bytes.u32()) | (static_cast<std::uint64_t>(bytes.u32()) << 32);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        // What the callers pass: a recording's length or a checked command-line number.
        if (std::isfinite(value) && value >= 0)
            duration = value;
    }
    const auto analysis = analyzeSessionText(bytes.restText(), duration);
    if (!analysis)
        return;
    FUZZ_CHECK(!analysis->events.empty());
    FUZZ_CHECK(analysis->results.size() == 9);
    FUZZ_CHECK(std::isfinite(analysis->durationSeconds));
    for (const auto& result : analysis->results) {
        // A series is drawn: bounded in size, finite, and within its own axis.
        FUZZ_CHECK(result.rawSeries.size() <= analysis->events.size() + 202);
        FUZZ_CHECK(std::isfinite(result.yMin) && std::isfinite(result.yMax) && result.yMin < result.yMax);
        for (const auto& point : result.rawSeries)
            FUZZ_CHECK(std::isfinite(point.t));
        for (const auto& verdict : result.verdicts) {
            FUZZ_CHECK(std::isfinite(verdict.timeFromStart));
            FUZZ_CHECK(std::isfinite(verdict.score));
        }
    }
    for (const auto& event : analysis->events) {
        FUZZ_CHECK(std::isfinite(event.tFromStart));
        FUZZ_CHECK(event.payload().is_object());
    }
    // mirl-analyze's two outputs.
    const std::string report = analysisReportText(*analysis);
    FUZZ_CHECK(!report.empty());
    const auto json = analysisReportJson(*analysis);
    FUZZ_CHECK(encodeJsonLine(json).has_value());
}

} // namespace mirl::fuzz
