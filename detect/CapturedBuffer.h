#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace mirl {

/// One buffer as the capture thread delivers it: channel 0 of non-interleaved 32-bit float
/// samples, the format and the capture time stamp in sample frames. The samples belong to the
/// capture thread and are valid only during the call that receives the buffer; every consumer
/// copies what it keeps.
struct CapturedBuffer {
    const float* channel0 = nullptr; // null when the buffer carries no float data
    std::size_t frames = 0;
    double sampleRate = 0;
    int channels = 0;
    std::int64_t sampleTime = 0;

    /// The rates the detectors work at (the classifier resamples any of them). A buffer at
    /// another rate (none, not a number, 1 Hz, 4 GHz) cannot be analysed.
    static constexpr double minAnalysisRate = 1000.0;
    static constexpr double maxAnalysisRate = 1e6;

    bool hasFloatData() const { return channel0 != nullptr; }
    bool hasAnalysableRate() const { return sampleRate >= minAnalysisRate && sampleRate <= maxAnalysisRate; }
    std::span<const float> samples() const {
        return channel0 ? std::span<const float>(channel0, frames) : std::span<const float>();
    }
};

} // namespace mirl
