#include "platform/linux/FfmpegAacWriter.h"

#include "platform/linux/FfmpegUtil.h"
#include "platform/linux/Mp4SeekIndex.h"
#include "runtime/PrivateFiles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mirl {

CreatedAudioFile createAacFile(const std::filesystem::path& path, int sampleRate, int channels, int bitRate,
                               AudioContext context, AacCoder coder) {
    return FfmpegAacWriter::create(path, sampleRate, channels, bitRate, context, coder);
}

CreatedAudioFile FfmpegAacWriter::create(const std::filesystem::path& path, int sampleRate, int channels,
                                         int bitRate, AudioContext context, AacCoder coder) {
    ffmpeg::quietLogs();
    const std::string where = path.string();
    if (sampleRate <= 0 || channels <= 0 || channels > 8 || context.before < 0 ||
        (context.length && *context.length <= 0)) {
        return {nullptr, "unusable format for " + where};
    }
    // Create the file ourselves so that it is private from the first byte on.
    const int fd = openPrivateFile(path, O_WRONLY | O_TRUNC);
    if (fd < 0) {
        return {nullptr, "cannot create " + where + ": " + std::strerror(errno)};
    }
    ::fchmod(fd, 0600);
    ::close(fd);

    std::unique_ptr<FfmpegAacWriter> writer(new FfmpegAacWriter());
    writer->path_ = path;
    writer->sampleRate_ = sampleRate;
    writer->channels_ = channels;
    writer->context_ = context;
    writer->nextPts_ = -context.before;
    const AVOutputFormat* muxer = av_guess_format("mp4", nullptr, nullptr);
    const AVCodec* encoder = avcodec_find_encoder_by_name("aac");
    if (muxer == nullptr || encoder == nullptr) {
        return {nullptr, "FFmpeg lacks the mp4 muxer or the aac encoder"};
    }
    int rc = avformat_alloc_output_context2(&writer->format_, muxer, nullptr, where.c_str());
    if (rc < 0) {
        return {nullptr, "cannot set up " + where + ": " + ffmpeg::errorText(rc)};
    }
    writer->stream_ = avformat_new_stream(writer->format_, nullptr);
    writer->codec_ = avcodec_alloc_context3(encoder);
    writer->frame_ = av_frame_alloc();
    writer->packet_ = av_packet_alloc();
    if (writer->stream_ == nullptr || writer->codec_ == nullptr || writer->frame_ == nullptr ||
        writer->packet_ == nullptr) {
        return {nullptr, "out of memory for " + where};
    }
    AVCodecContext* c = writer->codec_;
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = sampleRate;
    av_channel_layout_default(&c->ch_layout, channels);
    c->bit_rate = bitRate;
    c->time_base = AVRational{1, sampleRate};
    if (writer->format_->oformat->flags & AVFMT_GLOBALHEADER) {
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    AVDictionary* codecOptions = nullptr;
    av_dict_set(&codecOptions, "aac_pns", "0", 0);
    if (coder == AacCoder::fast) {
        av_dict_set(&codecOptions, "aac_coder", "fast", 0);
    }
    rc = avcodec_open2(c, encoder, &codecOptions);
    av_dict_free(&codecOptions);
    if (rc < 0) {
        return {nullptr, "cannot open the AAC encoder: " + ffmpeg::errorText(rc)};
    }
    writer->frameSize_ = c->frame_size > 0 ? c->frame_size : 1024;
    rc = avcodec_parameters_from_context(writer->stream_->codecpar, c);
    if (rc < 0) {
        return {nullptr, "cannot describe the AAC stream: " + ffmpeg::errorText(rc)};
    }
    writer->stream_->time_base = c->time_base;
    rc = avio_open(&writer->format_->pb, where.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) {
        return {nullptr, "cannot open " + where + ": " + ffmpeg::errorText(rc)};
    }
    AVDictionary* muxOptions = nullptr;
    av_dict_set(&muxOptions, "movflags", "+empty_moov+delay_moov+default_base_moof", 0);
    av_dict_set(&muxOptions, "frag_duration", "1000000", 0);
    av_dict_set(&muxOptions, "flush_packets", "1", 0);
    rc = avformat_write_header(writer->format_, &muxOptions);
    av_dict_free(&muxOptions);
    if (rc < 0) {
        return {nullptr, "cannot write the header of " + where + ": " + ffmpeg::errorText(rc)};
    }
    writer->headerWritten_ = true;
    return {std::move(writer), {}};
}

FfmpegAacWriter::~FfmpegAacWriter() {
    close();
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&codec_);
    if (format_ != nullptr) {
        avio_closep(&format_->pb);
        avformat_free_context(format_);
    }
}

bool FfmpegAacWriter::fail(const std::string& what, int code) {
    if (error_.empty()) {
        error_ = what + ": " + ffmpeg::errorText(code);
    }
    return false;
}

bool FfmpegAacWriter::write(const float* interleaved, std::size_t frames) {
    if (closed_ || !error_.empty()) {
        return false;
    }
    const auto ch = static_cast<std::size_t>(channels_);
    const auto block = static_cast<std::size_t>(frameSize_) * ch;
    pending_.insert(pending_.end(), interleaved, interleaved + frames * ch);
    framesWritten_ += static_cast<std::int64_t>(frames);
    std::size_t used = 0;
    while (pending_.size() - used >= block) {
        if (!encodeFrame(frameSize_, pending_.data() + used)) {
            return false;
        }
        used += block;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
    return true;
}

bool FfmpegAacWriter::encodeFrame(int frames, const float* interleaved) {
    int rc = 0;
    if (frames > 0) {
        av_frame_unref(frame_);
        frame_->format = AV_SAMPLE_FMT_FLTP;
        frame_->sample_rate = sampleRate_;
        frame_->nb_samples = frames;
        av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout);
        rc = av_frame_get_buffer(frame_, 0);
        if (rc < 0) {
            return fail("cannot allocate an audio frame", rc);
        }
        for (int c = 0; c < channels_; ++c) {
            auto* plane = reinterpret_cast<float*>(frame_->extended_data[c]);
            for (int i = 0; i < frames; ++i) {
                plane[i] = std::clamp(interleaved[static_cast<std::size_t>(i * channels_ + c)], -1.0f, 1.0f);
            }
        }
        frame_->pts = nextPts_;
        nextPts_ += frames;
        rc = avcodec_send_frame(codec_, frame_);
    } else {
        rc = avcodec_send_frame(codec_, nullptr);
    }
    if (rc < 0) {
        return fail("cannot encode audio", rc);
    }
    return drainPackets();
}

bool FfmpegAacWriter::drainPackets() {
    for (;;) {
        int rc = avcodec_receive_packet(codec_, packet_);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
            return true;
        }
        if (rc < 0) {
            return fail("cannot encode audio", rc);
        }
        if (context_.length) {
            // The context after the end is only heard: packets past the length are left out and
            // the one that crosses it ends there.
            const std::int64_t end = *context_.length;
            if (packet_->pts >= end) {
                av_packet_unref(packet_);
                continue;
            }
            packet_->duration = std::min(packet_->duration, end - packet_->pts);
        }
        const std::int64_t startsAt = packet_->pts;
        av_packet_rescale_ts(packet_, codec_->time_base, stream_->time_base);
        packet_->stream_index = stream_->index;
        const std::int64_t written = avio_tell(format_->pb);
        rc = av_interleaved_write_frame(format_, packet_);
        av_packet_unref(packet_);
        if (rc < 0) {
            return fail("cannot write audio", rc);
        }
        // The muxer writes whole fragments, so a file that just grew ends between two of them.
        if (reserveOffset_ < 0 && avio_tell(format_->pb) > written &&
            startsAt >= static_cast<std::int64_t>(mp4index::kReserveAfterSeconds * sampleRate_) &&
            !reserveIndexRoom()) {
            return false;
        }
    }
}

bool FfmpegAacWriter::reserveIndexRoom() {
    AVIOContext* pb = format_->pb;
    reserveOffset_ = avio_tell(pb);
    avio_wb32(pb, static_cast<unsigned>(mp4index::kReserveBytes));
    avio_write(pb, reinterpret_cast<const unsigned char*>("free"), 4);
    // Seeking over the body instead of writing it leaves a hole that takes no disk space.
    const std::int64_t rc = avio_seek(pb, mp4index::kReserveBytes - 8, SEEK_CUR);
    if (rc < 0) {
        return fail("cannot write audio", static_cast<int>(rc));
    }
    return true;
}

bool FfmpegAacWriter::close() {
    if (closed_) {
        return error_.empty();
    }
    closed_ = true;
    if (!headerWritten_) {
        return false;
    }
    if (error_.empty()) {
        const auto ch = static_cast<std::size_t>(channels_);
        if (!pending_.empty()) {
            encodeFrame(static_cast<int>(pending_.size() / ch), pending_.data());
            pending_.clear();
        }
        if (error_.empty()) {
            encodeFrame(0, nullptr);
        }
    }
    const int rc = av_write_trailer(format_);
    if (rc < 0) {
        fail("cannot finish the file", rc);
    }
    avio_closep(&format_->pb);
    if (error_.empty() && reserveOffset_ >= 0) {
        // Without the index the file is complete too, only slower to open: nothing to report.
        mp4index::writeSeekIndex(path_, reserveOffset_, static_cast<std::uint32_t>(stream_->time_base.den));
    }
    return error_.empty();
}

} // namespace mirl
