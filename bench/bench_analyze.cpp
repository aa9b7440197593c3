// mirl-analyze's work on a generated eight-hour night of about 100,000 records:
//   build/bin/bench_analyze
// BM_AnalyzeNight reads and parses the log, runs the nine heuristics and builds the JSON
// report, as `mirl-analyze LOG --json` does (without printing it). Target: 200 ms or less.

#include "journal/JsonLine.h"
#include "journal/analysis/AnalysisReport.h"
#include "journal/analysis/SessionAnalysis.h"
#include "tests/support/TestPaths.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <random>

using namespace mirl;
namespace fs = std::filesystem;

namespace {

/// The mix of a replayed night, denser: a classifier result every 0.4 s, a breathing-rate
/// estimate every 1.2 s, regularity every minute, telemetry every minute, volume and brightness
/// steps every 10 s, a few phase changes and the band detector's records.
const fs::path& nightLog() {
    static test::TempDir dir;
    static const fs::path path = [] {
        const fs::path file = dir.path() / "session-2026-12-05-2200.jsonl";
        std::ofstream out(file);
        std::mt19937 random(5);
        std::uniform_real_distribution<double> unit(0, 1);
        using namespace std::chrono;
        const TimePoint start = sys_days{year{2026} / 12 / 5} + hours{22};
        std::size_t records = 0;
        auto line = [&](double t, const char* event, nlohmann::json payload) {
            payload["event"] = event;
            payload["ts"] = formatTimestamp(addSeconds(start, t));
            out << *encodeJsonLine(payload) << '\n';
            ++records;
        };
        const char* labels[] = {"breathing", "silence", "snoring", "speech", "typing", "white_noise"};
        line(0, "session_start",
             {{"session_file", "session-2026-12-05-2200.jsonl"},
              {"recording_file", "audio-2026-12-05-2200.m4a"},
              {"macos", "Debian GNU/Linux 12 (bookworm)"}});
        const double night = 8 * 3600;
        for (double t = 0.4; t < night; t += 0.4) {
            const char* label = labels[static_cast<int>(unit(random) * 6)];
            line(t, "classification",
                 {{"counted", unit(random) < 0.8},
                  {"label", label},
                  {"effective_label", label},
                  {"confidence", unit(random)},
                  {"top", {{{"label", label}, {"confidence", 0.7}}}}});
            if (std::fmod(t, 1.2) < 0.4)
                line(t + 0.1, "breath_estimate",
                     {{"rpm", 10 + 8 * unit(random)}, {"confidence", unit(random)}});
            if (std::fmod(t, 60) < 0.4) {
                line(t + 0.2, "telemetry",
                     {{"avg_rms", 0.01 * unit(random)}, {"user_idle_seconds", t}, {"phase", "asleep"}});
                line(t + 0.3, "breath_regularity_stat", {{"cv", unit(random)}, {"samples", 40}});
            }
            if (std::fmod(t, 10) < 0.4) {
                line(t + 0.25, "volume_applied",
                     {{"value", 40}, {"initial", 50}, {"target", 35}, {"source", "fade"}});
                line(t + 0.35, "brightness_applied", {{"target", 0.5}, {"initial", 0.7}, {"floor_pct", 20}});
            }
            if (std::fmod(t, 1800) < 0.4)
                line(t + 0.15, "phase_transition",
                     {{"from", "awake"},
                      {"to", unit(random) < 0.5 ? "asleep" : "calming"},
                      {"confidence", 0.8}});
        }
        line(900, "breathband_baseline", {{"baseline", 0.004}, {"samples_used", 60}});
        line(2400, "breathband_asleep", {{"rms_smoothed", 0.002}, {"target", 0.003}});
        line(night, "session_end", {{"reason", "timer_fired"}});
        std::fprintf(stderr, "generated %zu records, %.1f MB\n", records,
                     static_cast<double>(fs::file_size(file)) / 1e6);
        return file;
    }();
    return path;
}

void BM_AnalyzeNight(benchmark::State& state) {
    const fs::path& log = nightLog();
    std::size_t events = 0;
    for (auto _ : state) {
        auto analysis = analyzeSession(log);
        const std::string report = analysisReportJson(*analysis).dump(2);
        events = analysis->events.size();
        benchmark::DoNotOptimize(report.data());
    }
    state.counters["records"] = static_cast<double>(events);
}
BENCHMARK(BM_AnalyzeNight)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
