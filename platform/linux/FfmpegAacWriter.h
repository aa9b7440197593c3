#pragma once

#include "platform/AudioFileWriter.h"

#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;

namespace mirl {

/// AudioFileWriter over FFmpeg: native "aac" encoder (planar float, noise substitution off so
/// that decoding after a seek gives the same samples), MP4 muxer with empty moov and
/// one-second fragments, every packet flushed. After the first minute it leaves room for a seek
/// index, which a clean close fills in (see Mp4SeekIndex.h).
class FfmpegAacWriter final : public AudioFileWriter {
public:
    static CreatedAudioFile create(const std::filesystem::path& path, int sampleRate, int channels,
                                   int bitRate, AudioContext context = {},
                                   AacCoder coder = AacCoder::twoLoop);
    ~FfmpegAacWriter() override;

    bool write(const float* interleaved, std::size_t frames) override;
    bool close() override;
    std::string error() const override { return error_; }
    int channels() const override { return channels_; }
    double sampleRate() const override { return sampleRate_; }
    std::int64_t framesWritten() const override { return framesWritten_; }

private:
    FfmpegAacWriter() = default;
    bool encodeFrame(int frames, const float* interleaved); // 0 frames flushes the encoder
    bool drainPackets();
    bool reserveIndexRoom();
    bool fail(const std::string& what, int code);

    std::filesystem::path path_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVStream* stream_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int sampleRate_ = 0;
    int channels_ = 0;
    int frameSize_ = 1024;
    std::vector<float> pending_; // interleaved, fewer than frameSize_ frames
    std::int64_t framesWritten_ = 0;
    std::int64_t nextPts_ = 0;
    AudioContext context_;
    std::int64_t reserveOffset_ = -1; // where the room for the seek index starts
    bool headerWritten_ = false;
    bool closed_ = false;
    std::string error_;
};

} // namespace mirl
