#pragma once

#include "platform/AudioFileReader.h"

#include <algorithm>
#include <span>

namespace mirl::test {

/// Mono audio in memory read as a file; the samples must outlive the reader.
class MemoryAudioReader final : public AudioFileReader {
public:
    MemoryAudioReader(std::span<const float> samples, double rate) : samples_(samples), rate_(rate) {}
    double sampleRate() const override { return rate_; }
    int channels() const override { return 1; }
    std::int64_t lengthFrames() const override { return static_cast<std::int64_t>(samples_.size()); }
    std::vector<float> read(std::int64_t position, std::size_t frames) override {
        const auto from =
            std::min(samples_.size(), static_cast<std::size_t>(std::max<std::int64_t>(position, 0)));
        const auto to = std::min(samples_.size(), from + frames);
        return {samples_.begin() + static_cast<std::ptrdiff_t>(from),
                samples_.begin() + static_cast<std::ptrdiff_t>(to)};
    }

private:
    std::span<const float> samples_;
    double rate_;
};

} // namespace mirl::test
