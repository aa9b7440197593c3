#include "detect/MicSelfTest.h"

#include "runtime/WriteAll.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace mirl {

namespace {

std::string isoSecondsUtc(TimePoint t) {
    const std::time_t tt = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

} // namespace

MicSelfTest::MicSelfTest(Deps deps) : deps_(std::move(deps)) {}

MicSelfTest::~MicSelfTest() {
    deps_.engine.removeTap();
    deps_.engine.stop();
}

std::string MicSelfTest::formatText(CaptureFormat format) {
    const std::string rate = std::isfinite(format.sampleRate)
                                 ? std::to_string(static_cast<long long>(format.sampleRate))
                                 : std::string("?");
    return rate + "Hz/ch" + std::to_string(format.channels);
}

std::string MicSelfTest::verdictLine(long long buffers, std::uint64_t frames, const std::string& format,
                                     double sumOfSquares, Status* status) {
    const double rms = frames > 0 ? std::sqrt(sumOfSquares / static_cast<double>(frames)) : 0.0;
    const bool heard = rms > signalThreshold;
    if (status != nullptr) {
        *status = heard ? signal : zeros;
    }
    char line[256];
    std::snprintf(line, sizeof line, "buffers=%lld frames=%llu format=%s rms=%.6f verdict=%s", buffers,
                  static_cast<unsigned long long>(frames), format.c_str(), rms, heard ? "SIGNAL" : "ZEROS");
    return line;
}

void MicSelfTest::logLine(const std::string& message) {
    deps_.console.line("Mirl mic-smoke: " + message);
    if (!deps_.logFile) {
        return;
    }
    const int fd = ::open(deps_.logFile->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        writeAll(fd, message + "\n");
        ::close(fd);
    }
}

void MicSelfTest::start(std::function<void(Status)> finished) {
    finished_ = std::move(finished);
    if (deps_.logFile) {
        // Start afresh: an empty file put in place whole.
        const auto fresh = deps_.logFile->string() + ".new";
        const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            std::rename(fresh.c_str(), deps_.logFile->c_str());
        }
    }
    logLine("start ts=" + isoSecondsUtc(deps_.clock.now()));
    // Linux has no per-application microphone permission: access is always granted.
    logLine("tcc_status=authorized");
    logLine("tcc_request_granted=true");

    deps_.engine.installTap([this](const CaptureEngine::Buffer& buffer) { onTap(buffer); });
    if (auto error = deps_.engine.start()) {
        logLine("engine_start_error=" + *error);
        finished_(engineFailed);
        return;
    }
    reportTimer_ = deps_.mainThread.after(toDuration(captureSeconds), [this] { report(); });
}

void MicSelfTest::onTap(const CaptureEngine::Buffer& buffer) {
    std::lock_guard lock(mutex_);
    if (format_.empty()) {
        format_ = formatText(buffer.format);
    }
    ++buffers_;
    frames_ += buffer.frames;
    if (buffer.interleaved != nullptr && buffer.frames > 0 && buffer.format.channels > 0) {
        const auto stride = static_cast<std::size_t>(buffer.format.channels);
        double sum = 0;
        for (std::size_t i = 0; i < buffer.frames; ++i) {
            const double x = buffer.interleaved[i * stride];
            sum += x * x;
        }
        sumOfSquares_ += sum;
    }
}

void MicSelfTest::report() {
    deps_.engine.stop();
    std::lock_guard lock(mutex_);
    Status status = zeros;
    logLine(verdictLine(buffers_, frames_, format_, sumOfSquares_, &status));
    finished_(status);
}

} // namespace mirl
