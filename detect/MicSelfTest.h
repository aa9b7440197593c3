#pragma once

#include "platform/CaptureEngine.h"
#include "runtime/Clock.h"
#include "runtime/Console.h"
#include "runtime/Scheduler.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace mirl {

/// "mirl --mic-smoke": does this process hear the microphone? Captures ten seconds with an engine
/// of its own and ends with one verdict line: "SIGNAL" when the level of channel 0 is above 1e-6,
/// else "ZEROS". Every line goes to the console ("Mirl mic-smoke: ...") and to "mic-smoke.log"
/// in the data folder, which each run starts afresh. The status for the process: 0 signal,
/// 1 zeros (or no buffer at all), 2 the capture could not start.
///
/// Thread rule: start() and the report run on the main thread (the scheduler); the tap runs on
/// the capture thread and adds to the counters under `mutex_`. The report stops the engine and
/// holds the mutex while it writes the verdict, so no buffer is counted after it.
class MicSelfTest {
public:
    static constexpr double captureSeconds = 10.0;
    static constexpr double signalThreshold = 1e-6;

    enum Status { signal = 0, zeros = 1, engineFailed = 2 };

    struct Deps {
        const Clock& clock;
        Scheduler& mainThread;
        CaptureEngine& engine; // the self-test's own
        Console& console;
        std::optional<std::filesystem::path> logFile; // nothing: console lines only
    };

    explicit MicSelfTest(Deps deps);
    ~MicSelfTest();

    /// Begins; `finished` is called once with the status, on the main thread (at once when the
    /// capture cannot start).
    void start(std::function<void(Status)> finished);

    /// "48000Hz/ch1"; "?Hz/ch1" for a rate that is not a finite number.
    static std::string formatText(CaptureFormat format);
    /// The verdict line for the counters.
    static std::string verdictLine(long long buffers, std::uint64_t frames, const std::string& format,
                                   double sumOfSquares, Status* status);

private:
    void logLine(const std::string& message);
    void onTap(const CaptureEngine::Buffer& buffer); // capture thread
    void report();

    Deps deps_;
    std::function<void(Status)> finished_;
    Handle reportTimer_;

    std::mutex mutex_; // guards the counters
    long long buffers_ = 0;
    std::uint64_t frames_ = 0;
    double sumOfSquares_ = 0;
    std::string format_;
};

} // namespace mirl
