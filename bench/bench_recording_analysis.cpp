// The recording analysis (waveform peaks and spectrogram) of an eight-hour .m4a against a
// ten-minute one:
//   build/bin/bench_recording_analysis
// Both files are written as the recorder writes them (48 kHz mono AAC with the fast coder,
// one-second fragments, the seek index of a clean close) and kept in build/bench-data/.
// Targets: the eight-hour analysis in 1 s or less, and at most 1.5 times the ten-minute one.
// Opening alone is what the player does when a session is selected.

#include "detect/CaptureRecorder.h"
#include "journal/recording/RecordingAnalysis.h"
#include "platform/AudioFileWriter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>

using namespace mirl;
namespace fs = std::filesystem;

namespace {

const fs::path kFolder = fs::path(MIRL_BINARY_DIR) / "bench-data";

// A night as the recorder writes it: breathing noise at 48 kHz mono, handed over in 100 ms
// pieces. Written once and kept; the eight hours take a few minutes to encode.
fs::path recording(const std::string& name, int seconds) {
    const fs::path file = kFolder / name;
    if (fs::exists(file))
        return file;
    fs::create_directories(kFolder);
    const fs::path partial = kFolder / (name + ".partial");
    {
        auto created = createAacFile(partial, 48000, 1, CaptureRecorder::bitRate, {}, AacCoder::fast);
        if (!created.writer)
            throw std::runtime_error(created.error);
        std::mt19937 random(9);
        std::normal_distribution<float> noise(0, 1);
        std::vector<float> block(4800);
        for (int i = 0; i < seconds * 10; ++i) {
            const double t = i * 0.1;
            const float breath =
                static_cast<float>(0.05 * (0.5 + 0.5 * std::sin(2 * std::numbers::pi * t / 4.6)));
            for (std::size_t k = 0; k < block.size(); ++k)
                block[k] = breath * noise(random) + 0.01f * noise(random);
            created.writer->write(block.data(), block.size());
        }
        if (!created.writer->close())
            throw std::runtime_error(created.writer->error());
    }
    fs::rename(partial, file);
    return file;
}

const fs::path& tenMinutes() {
    static const fs::path path = recording("recorded-ten-minutes.m4a", 10 * 60);
    return path;
}

const fs::path& eightHours() {
    static const fs::path path = recording("recorded-eight-hours.m4a", 8 * 3600);
    return path;
}

void analyse(benchmark::State& state, const fs::path& file) {
    double duration = 0;
    std::size_t frames = 0;
    for (auto _ : state) {
        auto opened = openAudioFile(file);
        auto pictures = analyzeRecording(*opened.reader);
        duration = pictures.durationSeconds;
        frames = pictures.peaks.size();
        benchmark::DoNotOptimize(pictures.spectrogram.get());
    }
    state.counters["audio_hours"] = duration / 3600;
    state.counters["frames"] = static_cast<double>(frames);
}

void BM_TenMinutes(benchmark::State& state) {
    analyse(state, tenMinutes());
}
void BM_EightHours(benchmark::State& state) {
    analyse(state, eightHours());
}
void open(benchmark::State& state, const fs::path& file) {
    for (auto _ : state) {
        auto opened = openAudioFile(file);
        benchmark::DoNotOptimize(opened.reader->lengthFrames());
    }
}

void BM_OpenTenMinutes(benchmark::State& state) {
    open(state, tenMinutes());
}
void BM_OpenEightHours(benchmark::State& state) {
    open(state, eightHours());
}
BENCHMARK(BM_TenMinutes)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EightHours)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenTenMinutes)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_OpenEightHours)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
