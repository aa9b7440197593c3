#include "detect/CaptureRecorder.h"

#include "detect/RunAndWait.h"

#include <cmath>
#include <string>
#include <vector>

namespace mirl {

struct CaptureRecorder::Core {
    AudioFileFactory factory;
    RecordingParts& parts;
    std::function<void(std::string, EventPayload)> emit; // posts an event to the main thread

    std::optional<std::filesystem::path> location; // the part this build writes
    std::optional<CaptureFormat> format;           // the format its file was created for
    std::unique_ptr<AudioFileWriter> writer;
    bool failureReported = false;

    void finish() {
        if (writer) {
            writer->close();
            writer.reset();
        }
        format.reset();
    }

    void reportFailure(const std::string& error) {
        if (!std::exchange(failureReported, true)) {
            emit("audio_recording_failed", {{"file", location->filename().string()}, {"error", error}});
        }
    }

    void open(CaptureFormat f) {
        format = f;
        failureReported = false;
        auto created = factory(*location, static_cast<int>(std::lround(f.sampleRate)), 1);
        writer = std::move(created.writer);
        if (!writer) {
            reportFailure(created.error.empty() ? "unknown error" : created.error);
        }
    }

    void write(const std::vector<float>& channel0, CaptureFormat f) {
        if (!location || !f.usable()) {
            return;
        }
        if (!format) {
            open(f);
        } else if (*format != f) {
            // Another format within one build: keep what this part holds and go on in the next.
            finish();
            location = parts.advance();
            emit("audio_recording_part", {{"new_recording", location->filename().string()},
                                          {"reason", "format_change"},
                                          {"tap_sample_rate", f.sampleRate},
                                          {"tap_channels", f.channels}});
            open(f);
        }
        if (writer && !writer->write(channel0.data(), channel0.size())) {
            reportFailure(writer->error());
        }
    }
};

CaptureRecorder::CaptureRecorder(Scheduler& mainThread, Executor& queue, EventSink& events,
                                 AudioFileFactory factory, RecordingParts& parts)
    : queue_(queue), core_(std::make_shared<Core>(Core{std::move(factory), parts, {}, {}, {}, {}, false})) {
    core_->emit = [&mainThread,
                   log = lifetime_.guard([&events](const std::string& event, const EventPayload& payload) {
                       events.log(event, payload);
                   })](std::string event, EventPayload payload) {
        mainThread.post(
            [log, event = std::move(event), payload = std::move(payload)]() mutable { log(event, payload); });
    };
}

CaptureRecorder::~CaptureRecorder() {
    close();
}

void CaptureRecorder::beginBuild(std::optional<std::filesystem::path> location) {
    recording_ = location.has_value();
    queue_.submit([core = core_, location = std::move(location)] {
        core->finish();
        core->location = location;
    });
}

void CaptureRecorder::append(const CapturedBuffer& buffer) {
    const CaptureFormat format{buffer.sampleRate, buffer.channels};
    if (!recording_ || !buffer.hasFloatData() || buffer.frames == 0 || !format.usable()) {
        return;
    }
    const auto samples = buffer.samples();
    queue_.submit([weak = std::weak_ptr<Core>(core_),
                   copy = std::vector<float>(samples.begin(), samples.end()), format] {
        if (auto core = weak.lock()) {
            core->write(copy, format);
        }
    });
}

void CaptureRecorder::close() {
    recording_ = false;
    runAndWait(queue_, [core = core_] {
        core->finish();
        core->location.reset();
    });
}

} // namespace mirl
