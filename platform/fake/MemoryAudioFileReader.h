#pragma once

#include "platform/AudioFileReader.h"

#include <algorithm>
#include <optional>

namespace mirl {

/// Samples in memory read as a file; for tests. `claimedLength` makes the "container" state a
/// length other than the samples' (as damaged files do); `failFrom` makes every read at or
/// after that frame fail.
class MemoryAudioFileReader final : public AudioFileReader {
public:
    MemoryAudioFileReader(std::vector<float> samples, double sampleRate)
        : samples_(std::move(samples)), rate_(sampleRate) {}

    double sampleRate() const override { return rate_; }
    int channels() const override { return 1; }
    std::int64_t lengthFrames() const override {
        return claimedLength.value_or(static_cast<std::int64_t>(samples_.size()));
    }
    std::vector<float> read(std::int64_t position, std::size_t frames) override {
        ++reads;
        if (position < 0 || (failFrom && position >= *failFrom) ||
            position >= static_cast<std::int64_t>(samples_.size()))
            return {};
        const auto from = samples_.begin() + position;
        const auto count = std::min<std::size_t>(frames, static_cast<std::size_t>(samples_.end() - from));
        return std::vector<float>(from, from + static_cast<std::ptrdiff_t>(count));
    }

    std::optional<std::int64_t> claimedLength;
    std::optional<std::int64_t> failFrom;
    int reads = 0;

private:
    std::vector<float> samples_;
    double rate_;
};

} // namespace mirl
