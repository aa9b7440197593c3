#pragma once

#include "platform/AudioFileReader.h"

#include <functional>

namespace mirl {

/// Several audio files read as one, end to end (a recording split into parts). Positions and
/// the length count frames at the first file's rate; a later file at another rate is placed
/// by time and its samples are handed on as they are, not resampled.
/// Thread rule: one thread at a time.
class ConcatenatedAudioFileReader final : public AudioFileReader {
public:
    using Opener = std::function<OpenedAudioFile(const std::filesystem::path&)>;

    /// Opens every file with `open`. Fails when the first file does not open; a later file
    /// that does not open is left out.
    static OpenedAudioFile open(const std::vector<std::filesystem::path>& files, const Opener& open);

    explicit ConcatenatedAudioFileReader(std::vector<std::unique_ptr<AudioFileReader>> parts);

    double sampleRate() const override;
    int channels() const override;
    std::int64_t lengthFrames() const override;
    std::vector<float> read(std::int64_t position, std::size_t frames) override;

private:
    struct Part {
        std::unique_ptr<AudioFileReader> reader;
        std::int64_t start = 0;  // in frames at the first file's rate
        std::int64_t length = 0; // likewise
        double ratio = 1;        // own rate / first rate
    };
    std::vector<Part> parts_;
};

} // namespace mirl
