// CPU of the live microphone pipeline as a share of one core, over two minutes of real-time
// capture from a paced source: the PulseAudio capture, the sound classifier, the phase, both
// breathing detectors, the level meter and its telemetry, the session log and the AAC recording.
// It needs the test environment's real-time microphone ("paced", fed by pacat into "feed"):
//   tests/env/mirl-testenv --pulse --mics -- build/bin/bench_capture
// "cpu_pct" is the answer: CPU seconds of the whole process per second of capture, in percent of
// one core. The other counters split it by thread: main (the Qt loop: breath-rate detector, phase,
// level, log), capture (the libpulse loop with the capture callback), analysis (the classifier),
// band (the band detector), recorder (AAC encoding and writing) and other (the volume connection,
// Qt's own threads).

#include "journal/SessionLogger.h"
#include "tests/support/AudioFixtures.h"
#include "tests/support/DBusMock.h"
#include "tests/support/LiveDetector.h"
#include "tests/support/SyntheticRoom.h"
#include "tests/support/TestPaths.h"

#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <map>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

constexpr double kCaptureSeconds = 120;
constexpr double kFeedRate = 48000;

double cpuSeconds(const timeval& user, const timeval& system) {
    return static_cast<double>(user.tv_sec + system.tv_sec) +
           static_cast<double>(user.tv_usec + system.tv_usec) / 1e6;
}

double processCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return cpuSeconds(usage.ru_utime, usage.ru_stime);
}

/// The thread's name as Linux keeps it (SerialQueue keeps the last 15 characters).
std::string threadName(const std::string& name) {
    return name.size() > 15 ? name.substr(name.size() - 15) : name;
}

/// CPU seconds of each live thread, summed by role.
std::map<std::string, double> threadCpu() {
    const std::map<std::string, std::string> roles = {
        {"Mirl.capture", "capture"},
        {threadName("Mirl.SleepDetector.analysis"), "analysis"},
        {threadName("Mirl.BreathBandDetector"), "band"},
        {threadName("Mirl.SleepDetector.recorder"), "recorder"}};
    std::map<std::string, double> out;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string comm;
        std::ifstream(task.path() / "comm") >> comm;
        double ns = 0;
        std::ifstream(task.path() / "schedstat") >> ns;
        std::string role = "other";
        if (task.path().filename() == std::to_string(::getpid()))
            role = "main";
        else if (auto found = roles.find(comm); found != roles.end())
            role = found->second;
        out[role] += ns / 1e9;
    }
    return out;
}

/// The session log, and a copy kept in memory.
class TeeSink final : public EventSink {
public:
    explicit TeeSink(EventSink& log) : log_(log) {}
    void log(std::string_view event, const EventPayload& payload) override {
        log_.log(event, payload);
        copy.log(event, payload);
    }
    test::RecordingEventSink copy;

private:
    EventSink& log_;
};

void BM_LivePipeline(benchmark::State& state) {
    if (std::getenv("MIRL_TESTENV_PIPE") == nullptr) {
        state.SkipWithError("run inside tests/env/mirl-testenv --pulse --mics");
        return;
    }
    test::ensureQtCore();
    std::map<std::string, double> used;
    double process = 0, wall = 0;
    std::string format;
    for (auto _ : state) {
        test::TempDir dir;
        const auto room = test::syntheticBedroom(kFeedRate, kCaptureSeconds + 15);
        const auto raw = dir.path() / "room.f32";
        std::ofstream(raw, std::ios::binary)
            .write(reinterpret_cast<const char*>(room.data()), static_cast<std::streamsize>(room.size() * 4));
        if (test::shell("pactl set-default-source paced") != 0 ||
            test::shell("pacat -p -d feed --format=float32le --rate=48000 --channels=1 '" + raw.string() +
                        "' & echo $! > '" + (dir.path() / "pacat.pid").string() + "'") != 0) {
            state.SkipWithError("cannot feed the paced microphone");
            return;
        }
        SystemClock clock;
        SessionLogger logger(clock, dir.path(), "bench");
        const auto files = logger.startSession();
        TeeSink events(logger);
        {
            test::LiveDetector live(&events);
            const auto threadsBefore = threadCpu();
            const double processBefore = processCpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            if (auto error = live.detector->start(files.recording)) {
                state.SkipWithError(error->c_str());
                return;
            }
            // The application's own loop (the tests' polling pump would add its wake-ups).
            QEventLoop loop;
            QTimer::singleShot(std::chrono::milliseconds(static_cast<long>(kCaptureSeconds * 1000)), &loop,
                               &QEventLoop::quit);
            loop.exec();
            live.detector->stop();
            wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            process = processCpuSeconds() - processBefore;
            for (const auto& [role, seconds] : threadCpu()) {
                const auto before = threadsBefore.find(role);
                used[role] = seconds - (before != threadsBefore.end() ? before->second : 0.0);
            }
            const auto formats = events.copy.named("audio_input");
            format = formats.empty() ? "?" : formats[0].dump();
        }
        logger.endSession("bench");
        test::shell("kill $(cat '" + (dir.path() / "pacat.pid").string() + "') 2>/dev/null");
    }
    state.counters["cpu_pct"] = 100 * process / wall;
    for (const auto& [role, seconds] : used)
        state.counters[role + "_pct"] = 100 * seconds / wall;
    state.SetLabel(format);
}
BENCHMARK(BM_LivePipeline)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
