#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace mirl {

/// Writes an AAC ".m4a" file that survives its writer being killed: the file is fragmented and
/// flushed to disk every second of audio, so a killed process loses at most the last second.
/// Files are created readable by their owner only.
/// Thread rule: one thread at a time.
class AudioFileWriter {
public:
    virtual ~AudioFileWriter() = default;
    /// Appends `frames` interleaved frames (channels() floats each, -1..1). False on a write
    /// error (disk full, ...); the error then stays and later writes do nothing.
    virtual bool write(const float* interleaved, std::size_t frames) = 0;
    /// Encodes what is buffered and finishes the file. Also done by the destructor.
    virtual bool close() = 0;
    virtual std::string error() const = 0;
    virtual int channels() const = 0;
    virtual double sampleRate() const = 0;
    /// Frames accepted so far.
    virtual std::int64_t framesWritten() const = 0;
};

struct CreatedAudioFile {
    std::unique_ptr<AudioFileWriter> writer; // null on failure
    std::string error;                       // why, when writer is null
};

/// How hard the AAC encoder works: FFmpeg's default two-loop coder, or its fast coder (about
/// half the CPU, for long recordings where the encoder runs all night).
enum class AacCoder { twoLoop, fast };

/// Audio the encoder hears but the file's timeline leaves out. A codec works on overlapping
/// blocks, so the first and last milliseconds of a file are coded against the silence around
/// them; a loop played end to start then has a burst of coding noise at its seam. Given the
/// loop's own end before it and its start after it, the encoder hears sound that goes on across
/// both edges, and players start at time zero and stop at the length.
struct AudioContext {
    std::int64_t before = 0;            ///< the first frames written, placed before time zero
    std::optional<std::int64_t> length; ///< the frames after those that the file holds; any
                                        ///< written beyond are heard by the encoder only
};

/// Creates (or replaces) an AAC ".m4a" file at `path`.
CreatedAudioFile createAacFile(const std::filesystem::path& path, int sampleRate, int channels,
                               int bitRate = 96000, AudioContext context = {},
                               AacCoder coder = AacCoder::twoLoop);

/// Creates the files a component records into (createAacFile in the application, an in-memory
/// stand-in in tests). Called on the component's own thread.
using AudioFileFactory =
    std::function<CreatedAudioFile(const std::filesystem::path& path, int sampleRate, int channels)>;

/// A factory making createAacFile's files at that bit rate and with that coder.
inline AudioFileFactory aacFileFactory(int bitRate, AacCoder coder) {
    return [bitRate, coder](const std::filesystem::path& path, int sampleRate, int channels) {
        return createAacFile(path, sampleRate, channels, bitRate, {}, coder);
    };
}

} // namespace mirl
