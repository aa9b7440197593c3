#pragma once

#include "detect/CapturedBuffer.h"
#include "detect/RecordingParts.h"
#include "journal/EventSink.h"
#include "platform/AudioFileWriter.h"
#include "platform/CaptureEngine.h"
#include "runtime/Executor.h"
#include "runtime/Lifetime.h"
#include "runtime/Scheduler.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>

namespace mirl {

/// Writes channel 0 of the captured audio (what the detectors hear) into the session recording, a
/// mono AAC file at 64 kbit/s, one file per capture format. A pipeline
/// build reserves the location of its part; the first buffer of a usable format creates the file
/// there. A buffer of another format within the same build closes that part and goes on in the
/// next one ("audio_recording_part"), so that nothing recorded is overwritten. A file that cannot
/// be created, or a write that fails, is written once per part as "audio_recording_failed"; the
/// rest of the pipeline goes on without it.
///
/// Thread rule: beginBuild() and close() belong to the main thread, append() to the capture
/// thread. The writer, its format and the reserved location live in a core that only work queued
/// on the recorder queue touches (in call order, so a build's buffers never reach the previous
/// build's file); append() only copies the samples and queues them. close() waits for the queue.
/// Events are posted to the main thread and dropped once the recorder is gone.
class CaptureRecorder {
public:
    static constexpr int bitRate = 64000;

    CaptureRecorder(Scheduler& mainThread, Executor& queue, EventSink& events, AudioFileFactory factory,
                    RecordingParts& parts);
    ~CaptureRecorder();
    CaptureRecorder(const CaptureRecorder&) = delete;
    CaptureRecorder& operator=(const CaptureRecorder&) = delete;

    /// A pipeline build: closes the part being written; the first usable buffer from now on
    /// creates `location` (nothing: no recording in this build).
    void beginBuild(std::optional<std::filesystem::path> location);
    /// Capture thread: copies channel 0 for the recorder queue, while a location is reserved.
    void append(const CapturedBuffer& buffer);
    /// Closes the part being written and forgets the location; returns once the file is complete.
    void close();

private:
    struct Core;
    Executor& queue_;
    std::shared_ptr<Core> core_;
    std::atomic<bool> recording_{false};
    Lifetime lifetime_;
};

} // namespace mirl
