// The recording analysis (waveform peaks and spectrogram) of an eight-hour .m4a against a
// ten-minute one:
//   build/bin/bench_recording_analysis
// Both files are 48 kHz mono AAC as the recorder writes them (fragmented); the ten-minute one is
// encoded by our writer, the eight-hour one is that file copied end to end 48 times by the
// ffmpeg tool (no re-encoding). They are kept in build/bench-data/. Targets: the eight-hour
// analysis in 1 s or less, and at most 1.5 times the ten-minute one.

#include "journal/recording/RecordingAnalysis.h"
#include "platform/AudioFileWriter.h"
#include "tests/support/AudioFixtures.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <random>

using namespace mirl;
namespace fs = std::filesystem;

namespace {

const fs::path kFolder = fs::path(MIRL_BINARY_DIR) / "bench-data";

const fs::path& tenMinutes() {
    static const fs::path path = [] {
        const fs::path file = kFolder / "ten-minutes.m4a";
        if (fs::exists(file))
            return file;
        fs::create_directories(kFolder);
        auto created = createAacFile(file, 48000, 1);
        if (!created.writer)
            throw std::runtime_error(created.error);
        std::mt19937 random(9);
        std::normal_distribution<float> noise(0, 1);
        std::vector<float> block(4800);
        for (int i = 0; i < 6000; ++i) {
            const double t = i * 0.1;
            const float breath =
                static_cast<float>(0.05 * (0.5 + 0.5 * std::sin(2 * std::numbers::pi * t / 4.6)));
            for (std::size_t k = 0; k < block.size(); ++k)
                block[k] = breath * noise(random) + 0.01f * noise(random);
            created.writer->write(block.data(), block.size());
        }
        created.writer->close();
        return file;
    }();
    return path;
}

const fs::path& eightHours() {
    static const fs::path path = [] {
        const fs::path file = kFolder / "eight-hours.m4a";
        if (fs::exists(file))
            return file;
        const fs::path list = kFolder / "eight-hours.txt";
        {
            std::ofstream out(list);
            for (int i = 0; i < 48; ++i)
                out << "file '" << tenMinutes().string() << "'\n";
        }
        const std::string command = "ffmpeg -nostdin -loglevel error -f concat -safe 0 -i '" + list.string() +
                                    "' -c copy -movflags +empty_moov+delay_moov+default_base_moof "
                                    "-frag_duration 1000000 '" +
                                    file.string() + "'";
        if (test::shell(command) != 0)
            throw std::runtime_error("ffmpeg could not join the eight-hour file");
        return file;
    }();
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
BENCHMARK(BM_TenMinutes)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EightHours)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
