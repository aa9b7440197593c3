#include "platform/linux/FfmpegAudioFileReader.h"

#include "platform/linux/FfmpegUtil.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <algorithm>
#include <cstring>

namespace mirl {

namespace {

constexpr std::int64_t kSeekBackOff = 1024; // one AAC frame
constexpr int kSeekAttempts = 4;
// A seek costs a search of the index and three decoded frames, so a position up to eight frames
// ahead is reached sooner by decoding on.
constexpr std::int64_t kDecodeRatherThanSeek = 8 * kSeekBackOff;

float sampleOfChannel0(const AVFrame* frame, int index) {
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const int step = av_sample_fmt_is_planar(format) ? 1 : frame->ch_layout.nb_channels;
    const std::size_t at = static_cast<std::size_t>(index) * static_cast<std::size_t>(step);
    const std::uint8_t* data = frame->extended_data[0];
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        return (static_cast<float>(data[at]) - 128.0f) / 128.0f;
    case AV_SAMPLE_FMT_S16:
        return static_cast<float>(reinterpret_cast<const std::int16_t*>(data)[at]) / 32768.0f;
    case AV_SAMPLE_FMT_S32:
        return static_cast<float>(static_cast<double>(reinterpret_cast<const std::int32_t*>(data)[at]) /
                                  2147483648.0);
    case AV_SAMPLE_FMT_S64:
        return static_cast<float>(static_cast<double>(reinterpret_cast<const std::int64_t*>(data)[at]) /
                                  9223372036854775808.0);
    case AV_SAMPLE_FMT_FLT:
        return reinterpret_cast<const float*>(data)[at];
    case AV_SAMPLE_FMT_DBL:
        return static_cast<float>(reinterpret_cast<const double*>(data)[at]);
    default:
        return 0.0f;
    }
}

// Containers whose time stamps after a seek are exact to the sample. Others (Ogg, where the
// first packets after a seek get estimated times; MP3; Matroska's millisecond clock) are read
// by decoding forward, from the start when the position lies behind.
bool seeksExactly(const char* demuxer) {
    for (const char* name : {"mov", "wav", "flac", "aiff", "w64", "caf"}) {
        if (std::strncmp(demuxer, name, std::strlen(name)) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

OpenedAudioFile openAudioFile(const std::filesystem::path& path) {
    return FfmpegAudioFileReader::open(path);
}

OpenedAudioFile FfmpegAudioFileReader::open(const std::filesystem::path& path) {
    ffmpeg::quietLogs();
    std::unique_ptr<FfmpegAudioFileReader> reader(new FfmpegAudioFileReader());
    const std::string where = path.string();
    int rc = avformat_open_input(&reader->format_, where.c_str(), nullptr, nullptr);
    if (rc < 0) {
        return {nullptr, "cannot open " + where + ": " + ffmpeg::errorText(rc)};
    }
    rc = avformat_find_stream_info(reader->format_, nullptr);
    if (rc < 0) {
        return {nullptr, "cannot read the streams of " + where + ": " + ffmpeg::errorText(rc)};
    }
    const AVCodec* decoder = nullptr;
    rc = av_find_best_stream(reader->format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (rc < 0 || decoder == nullptr) {
        return {nullptr, "no decodable audio stream in " + where};
    }
    reader->streamIndex_ = rc;
    AVStream* stream = reader->format_->streams[rc];
    reader->codec_ = avcodec_alloc_context3(decoder);
    reader->packet_ = av_packet_alloc();
    reader->frame_ = av_frame_alloc();
    if (reader->codec_ == nullptr || reader->packet_ == nullptr || reader->frame_ == nullptr) {
        return {nullptr, "out of memory opening " + where};
    }
    rc = avcodec_parameters_to_context(reader->codec_, stream->codecpar);
    if (rc >= 0) {
        reader->codec_->pkt_timebase = stream->time_base;
        rc = avcodec_open2(reader->codec_, decoder, nullptr);
    }
    if (rc < 0) {
        return {nullptr, "cannot open the decoder for " + where + ": " + ffmpeg::errorText(rc)};
    }
    reader->sampleRate_ = reader->codec_->sample_rate;
    reader->channels_ = reader->codec_->ch_layout.nb_channels;
    if (reader->sampleRate_ <= 0 || reader->channels_ <= 0) {
        return {nullptr, "no sample rate or channels in " + where};
    }
    reader->exactSeek_ = seeksExactly(reader->format_->iformat->name);
    if (stream->start_time != AV_NOPTS_VALUE && stream->start_time > 0) {
        reader->originPts_ = stream->start_time;
    }
    const AVRational perSample{1, reader->codec_->sample_rate};
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        // A stream that starts before zero (encoder priming without an edit list) counts its
        // duration from that start.
        const std::int64_t early =
            stream->start_time != AV_NOPTS_VALUE && stream->start_time < 0 ? stream->start_time : 0;
        reader->lengthFrames_ = av_rescale_q(stream->duration + early, stream->time_base, perSample);
    } else if (reader->format_->duration != AV_NOPTS_VALUE && reader->format_->duration > 0) {
        reader->lengthFrames_ =
            av_rescale_q(reader->format_->duration, AVRational{1, AV_TIME_BASE}, perSample);
    }
    return {std::move(reader), {}};
}

FfmpegAudioFileReader::~FfmpegAudioFileReader() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
}

std::vector<float> FfmpegAudioFileReader::read(std::int64_t position, std::size_t frames) {
    if (position < 0 || frames == 0) {
        return {};
    }
    const std::int64_t nearby = kDecodeRatherThanSeek;
    const bool fromStart = !seeked_ && !placed_ && position < nearby;
    const bool reachable =
        placed_ && position >= bufferStart_ && position <= bufferEnd() + (endOfStream_ ? 0 : nearby);
    if (!fromStart && !reachable) {
        if (exactSeek_) {
            seekTo(position);
        } else if (!(placed_ && position >= bufferStart_)) {
            restart(0);
        } // else: decode forward from here, which is exact too
    }
    const std::int64_t need = position + static_cast<std::int64_t>(frames);
    while ((!placed_ || bufferEnd() < need) && !endOfStream_) {
        if (placed_ && bufferEnd() < position) {
            trimBefore(bufferEnd());
        }
        decodeMore();
    }
    std::vector<float> out;
    if (placed_ && position >= bufferStart_ && position < bufferEnd()) {
        const auto from = static_cast<std::size_t>(position - bufferStart_);
        const auto to = static_cast<std::size_t>(std::min(need, bufferEnd()) - bufferStart_);
        out.assign(buffer_.begin() + static_cast<std::ptrdiff_t>(from),
                   buffer_.begin() + static_cast<std::ptrdiff_t>(to));
    }
    // Keep a little before the end of this read so that a slightly overlapping read needs no seek.
    trimBefore(position + static_cast<std::int64_t>(out.size()) - 4096);
    return out;
}

void FfmpegAudioFileReader::restart(std::int64_t target) {
    const AVStream* stream = format_->streams[streamIndex_];
    const AVRational perSample{1, static_cast<int>(sampleRate_)};
    int rc = 0;
    if (target > 0) {
        rc = av_seek_frame(format_, streamIndex_,
                           originPts_ + av_rescale_q(target, perSample, stream->time_base),
                           AVSEEK_FLAG_BACKWARD);
    } else {
        // The very beginning, priming packets included: landing on the first packet at time zero
        // would leave its frame without the predecessor it overlaps with.
        const std::int64_t start =
            stream->start_time != AV_NOPTS_VALUE ? std::min(stream->start_time, originPts_) : originPts_;
        rc = av_seek_frame(format_, streamIndex_,
                           start - av_rescale_q(kSeekBackOff, perSample, stream->time_base),
                           AVSEEK_FLAG_BACKWARD);
        if (rc < 0) {
            rc = avformat_seek_file(format_, streamIndex_, INT64_MIN, start, start, 0);
        }
        if (rc < 0) {
            rc = avformat_seek_file(format_, -1, INT64_MIN, 0, 0, 0);
        }
    }
    avcodec_flush_buffers(codec_);
    buffer_.clear();
    bufferStart_ = 0;
    placed_ = false;
    endOfStream_ = false;
    flushing_ = false;
    seeked_ = true;
    seekFailed_ = rc < 0;
    // After a seek into the middle the first decoded frame lacks its predecessor: throw it away.
    discardNext_ = target > 0;
    nextFramePosition_ = std::max<std::int64_t>(target, 0);
}

void FfmpegAudioFileReader::seekTo(std::int64_t position) {
    std::int64_t backOff = kSeekBackOff;
    for (int attempt = 0; attempt < kSeekAttempts && position - backOff > 0; ++attempt, backOff *= 4) {
        restart(position - backOff);
        if (seekFailed_) {
            break;
        }
        while (!placed_ && !endOfStream_) {
            decodeMore();
        }
        if (placed_ && !timeless_ && bufferStart_ <= position) {
            return;
        }
    }
    // Decode from the very start: slow, but always exact.
    restart(0);
}

bool FfmpegAudioFileReader::decodeMore() {
    for (;;) {
        int rc = avcodec_receive_frame(codec_, frame_);
        if (rc == 0) {
            if (discardNext_) {
                discardNext_ = false;
            } else {
                appendFrame(frame_);
            }
            av_frame_unref(frame_);
            return true;
        }
        if (rc != AVERROR(EAGAIN) || flushing_) {
            endOfStream_ = true;
            return false;
        }
        rc = av_read_frame(format_, packet_);
        if (rc < 0) {
            flushing_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (packet_->stream_index == streamIndex_) {
            // A corrupt packet is skipped; the decoder carries on with the next one.
            avcodec_send_packet(codec_, packet_);
        }
        av_packet_unref(packet_);
    }
}

void FfmpegAudioFileReader::appendFrame(const AVFrame* frame) {
    const int count = frame->nb_samples;
    if (count <= 0) {
        return;
    }
    if (!placed_) {
        std::int64_t pts = frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
        const AVStream* stream = format_->streams[streamIndex_];
        timeless_ = pts == AV_NOPTS_VALUE;
        bufferStart_ = timeless_ ? nextFramePosition_
                                 : av_rescale_q(pts - originPts_, stream->time_base,
                                                AVRational{1, static_cast<int>(sampleRate_)});
        placed_ = true;
    }
    // Once placed, frames follow each other without gaps.
    buffer_.reserve(buffer_.size() + static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        buffer_.push_back(sampleOfChannel0(frame, i));
    }
    if (bufferStart_ < 0) {
        // Encoder priming before time zero.
        const auto drop = std::min<std::int64_t>(-bufferStart_, static_cast<std::int64_t>(buffer_.size()));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(drop));
        bufferStart_ += drop;
    }
}

void FfmpegAudioFileReader::trimBefore(std::int64_t position) {
    if (position <= bufferStart_) {
        return;
    }
    const auto drop =
        std::min<std::int64_t>(position - bufferStart_, static_cast<std::int64_t>(buffer_.size()));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(drop));
    bufferStart_ += drop;
}

} // namespace mirl
