#pragma once

#include "detect/CapturedBuffer.h"
#include "runtime/Lifetime.h"
#include "runtime/Scheduler.h"

namespace mirl {

/// The microphone level averaged per minute for the "telemetry" event: the level of each buffer
/// (root mean square of channel 0, single precision) summed on the main thread.
///
/// Thread rule: process() runs on the capture thread, computes the buffer's level and posts it;
/// the sum, the count and takeReport() are main thread only.
class LevelMeter {
public:
    struct Report {
        double avgRms = 0;     // mean of the buffer levels, 0 without buffers
        long long buffers = 0; // buffers in that mean
    };

    explicit LevelMeter(Scheduler& mainThread);

    void process(const CapturedBuffer& buffer);
    /// Main thread: adds one buffer level.
    void add(double level);
    /// Main thread: the average since the last report, then starts a new sum.
    Report takeReport();
    /// Main thread: forgets the sum.
    void reset();

private:
    Scheduler& mainThread_;
    double accumulator_ = 0;
    long long count_ = 0;
    Lifetime lifetime_;
};

} // namespace mirl
