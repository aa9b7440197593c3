#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace mirl {

/// Reads decoded samples of channel 0 of an audio file at any frame position.
/// Thread rule: one thread at a time.
class AudioFileReader {
public:
    virtual ~AudioFileReader() = default;

    virtual double sampleRate() const = 0;
    virtual int channels() const = 0;
    /// Frames in the file as far as the container says (an estimate for some formats).
    virtual std::int64_t lengthFrames() const = 0;

    /// Up to `frames` samples of channel 0 from frame `position` on; fewer at the end of the
    /// file, none past it. A read at the position where the previous one ended continues
    /// without seeking; any other position is exact to the sample.
    virtual std::vector<float> read(std::int64_t position, std::size_t frames) = 0;
};

struct OpenedAudioFile {
    std::unique_ptr<AudioFileReader> reader; // null on failure
    std::string error;                       // why, when reader is null
};

/// Opens any file FFmpeg can decode (WAV, FLAC, M4A, OGG, ...).
OpenedAudioFile openAudioFile(const std::filesystem::path& path);

} // namespace mirl
