#pragma once

#include "platform/AudioFileReader.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace mirl {

/// An RGBA picture, 8 bits per channel, rows top to bottom.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // width * height * 4

    bool operator==(const RgbaImage&) const = default;
};

/// What the review window draws of a recording.
struct RecordingPictures {
    /// Root mean square of each analysed frame, in time order.
    std::vector<float> peaks;
    /// One column per analysed frame, 1024 rows, the highest frequency at the top; nothing
    /// for a file without frames or a silent one.
    std::shared_ptr<const RgbaImage> spectrogram;
    double durationSeconds = 0;
};

namespace recording {

inline constexpr std::int64_t kFrameLength = 2048;
inline constexpr int kSpectrumBins = 1024;
/// A recording is cut into at most about this many frames, however long it is.
inline constexpr std::int64_t kMaxFrames = 800;

/// Samples between the starts of two analysed frames: max(2048, length / 800).
std::int64_t hopFrames(std::int64_t lengthFrames);
/// (length - 2048) / hop + 1, truncated toward zero.
std::int64_t frameCount(std::int64_t lengthFrames);

/// The spectrogram's colour for an intensity byte (0 darkest): red, green, blue.
std::array<std::uint8_t, 3> spectrogramColour(std::uint8_t intensity);

} // namespace recording

/// Reads at most about 800 frames of 2048 samples through the reader, so an eight-hour night
/// costs what a ten-minute nap does: each frame gives a peak (its RMS) and a Hann-windowed
/// spectrum column, shown over the 50 dB below the 95th percentile of all magnitudes. A read
/// that fails ends the analysis with the frames so far. Setting `cancelled` stops it early
/// (what was done so far is returned). Safe on any thread.
RecordingPictures analyzeRecording(AudioFileReader& reader, const std::atomic<bool>* cancelled = nullptr);

} // namespace mirl
