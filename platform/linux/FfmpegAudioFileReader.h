#pragma once

#include "platform/AudioFileReader.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;

namespace mirl {

/// AudioFileReader over FFmpeg. Decodes channel 0 at the file's own rate (no resampling).
///
/// Positions are exact: a jump seeks one 1024-sample frame before the wanted position,
/// throws the first decoded frame away (it is not clean after a seek) and places the samples
/// of the following frames by their presentation time. Samples with a negative time (encoder
/// priming) are dropped. When a seek lands past the wanted position, it backs off further.
/// Containers without trustworthy times after a seek are decoded forward instead.
class FfmpegAudioFileReader final : public AudioFileReader {
public:
    static OpenedAudioFile open(const std::filesystem::path& path);
    ~FfmpegAudioFileReader() override;

    double sampleRate() const override { return sampleRate_; }
    int channels() const override { return channels_; }
    std::int64_t lengthFrames() const override { return lengthFrames_; }
    std::vector<float> read(std::int64_t position, std::size_t frames) override;

private:
    FfmpegAudioFileReader() = default;

    // Seeks so that the buffered samples start at or before `position`.
    void seekTo(std::int64_t position);
    // Seeks the demuxer to `target` (frames; 0 = the start) and empties the decoder.
    void restart(std::int64_t target);
    // Decodes the next frame into the buffer. False at the end of the stream or on error.
    bool decodeMore();
    void appendFrame(const AVFrame* frame);
    void trimBefore(std::int64_t position);
    std::int64_t bufferEnd() const { return bufferStart_ + static_cast<std::int64_t>(buffer_.size()); }

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int streamIndex_ = -1;
    double sampleRate_ = 0;
    int channels_ = 0;
    std::int64_t lengthFrames_ = 0;
    std::int64_t originPts_ = 0; // stream time of frame 0

    std::vector<float> buffer_; // decoded channel-0 samples from bufferStart_ on
    std::int64_t bufferStart_ = 0;
    std::int64_t nextFramePosition_ = 0; // where a frame without a time stamp goes
    bool placed_ = false;                // buffer_ is anchored (first sample position known)
    bool discardNext_ = false;           // the next decoded frame follows a seek
    bool endOfStream_ = false;
    bool flushing_ = false;
    bool seeked_ = false;     // the decoder has left the untouched start state
    bool seekFailed_ = false; // the demuxer refused the last seek
    bool timeless_ = false;   // the anchoring frame had no time stamp
    bool exactSeek_ = false;  // the container's time stamps after a seek can be trusted
};

} // namespace mirl
