// An eight-hour Night through mirl-sim's runner, with eight hours of microphone audio: the real
// orchestration, fade engine, outputs and the whole detection chain on virtual time.
//   build/bin/bench_session_night
// The microphone file is the synthesised falling-asleep recording (tests/data/make_falling_asleep.py,
// 20 minutes at 16 kHz) looped to eight hours as FLAC, made once under build/bench-data (it needs
// python3-numpy, espeak-ng and ffmpeg, as the tests do). "rss_mb_<h>h" is the resident memory after
// each simulated hour and "heap_mb_<h>h" the memory allocated then: both should stay flat.

#include "app/sim/ScenarioRunner.h"
#include "tests/support/TestPaths.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>

using namespace mirl;

namespace {

constexpr int kHours = 8;

std::filesystem::path nightFile() {
    const std::filesystem::path folder = std::filesystem::path(MIRL_BINARY_DIR) / "bench-data";
    const auto flac = folder / "falling-asleep-8h.flac";
    if (std::filesystem::exists(flac))
        return flac;
    std::filesystem::create_directories(folder);
    const auto wav = folder / "falling-asleep.wav";
    const std::string make = "/usr/bin/python3 '" + std::string(MIRL_SOURCE_DIR) +
                             "/tests/data/make_falling_asleep.py' '" + wav.string() + "' >/dev/null";
    // 24 turns of 20 minutes.
    const std::string loop = "ffmpeg -v error -y -stream_loop 23 -i '" + wav.string() + "' -c:a flac '" +
                             flac.string() + ".part' && mv '" + flac.string() + ".part' '" + flac.string() +
                             "'";
    if (std::system(make.c_str()) != 0 || std::system(loop.c_str()) != 0)
        return {};
    std::filesystem::remove(wav);
    return flac;
}

double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

void BM_EightHourNight(benchmark::State& state) {
    const auto microphone = nightFile();
    if (microphone.empty()) {
        state.SkipWithError("could not make the microphone file");
        return;
    }
    for (auto _ : state) {
        test::TempDir dir;
        auto parsed = sim::parseScenario(R"({"start": "2026-12-05T23:00:00", "timezone": "Europe/Paris",
            "settings": {"mode.timer_mode": "night"}, "system": {"volume": 40, "idle_seconds": 0},
            "microphone": ")" + microphone.string() +
                                         R"(",
            "steps": [{"at": 0, "do": "start", "minutes": 475}, {"at": 900, "do": "input"}],
            "until": 28800})");
        if (!parsed.scenario) {
            state.SkipWithError(parsed.error.c_str());
            return;
        }
        sim::ScenarioRunner runner(std::move(*parsed.scenario), dir.path());
        for (int hour = 1; hour <= kHours; ++hour) {
            runner.runUntil(hour * 3600.0);
            state.counters["rss_mb_" + std::to_string(hour) + "h"] = residentMegabytes();
            state.counters["heap_mb_" + std::to_string(hour) + "h"] = mallinfo2().uordblks / 1048576.0;
        }
        runner.run();
        state.counters["suspend_calls"] = runner.world().power.suspendCalls;
    }
}

} // namespace

BENCHMARK(BM_EightHourNight)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
