#include "platform/linux/PulseAudioPlayer.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace mirl {

namespace {

constexpr auto kConnectWait = std::chrono::seconds(2);
constexpr std::uint32_t kTargetLatencyMs = 150;

PulseAudioPlayer* self(void* userdata) {
    return static_cast<PulseAudioPlayer*>(userdata);
}

void writeCallback(pa_stream*, std::size_t bytes, void* userdata) {
    self(userdata)->onWritable(bytes);
}

void drainCallback(pa_stream*, int success, void* userdata) {
    if (success != 0) {
        self(userdata)->onDrained();
    }
}

// Polls `ready` under the loop lock until it says yes (true), fails (false) or time runs out.
template <class F> bool waitFor(pa_threaded_mainloop* loop, F ready) {
    const auto end = std::chrono::steady_clock::now() + kConnectWait;
    while (std::chrono::steady_clock::now() < end) {
        pa_threaded_mainloop_lock(loop);
        const int state = ready();
        pa_threaded_mainloop_unlock(loop);
        if (state != 0) {
            return state > 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void unref(pa_operation* op) {
    if (op != nullptr) {
        pa_operation_unref(op);
    }
}

} // namespace

AudioPlayerFactory::Opened PulseAudioPlayer::open(const std::filesystem::path& file, Scheduler& mainThread) {
    auto opened = openAudioFile(file);
    if (!opened.reader) {
        return {nullptr, opened.error};
    }
    std::unique_ptr<PulseAudioPlayer> player(new PulseAudioPlayer(mainThread, std::move(opened.reader)));
    std::string error;
    if (!player->connect(error)) {
        return {nullptr, error};
    }
    return {std::move(player), {}};
}

PulseAudioPlayer::PulseAudioPlayer(Scheduler& mainThread, std::unique_ptr<AudioFileReader> reader)
    : mainThread_(mainThread), reader_(std::move(reader)) {
    rate_ = reader_->sampleRate();
    endFrame_ = reader_->lengthFrames();
    duration_ = static_cast<double>(endFrame_) / rate_;
}

bool PulseAudioPlayer::connect(std::string& error) {
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr || pa_threaded_mainloop_start(loop_) < 0) {
        error = "cannot start the sound server connection";
        return false;
    }
    pa_threaded_mainloop_lock(loop_);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Mirl");
    const int rc =
        context_ != nullptr ? pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) : -1;
    pa_threaded_mainloop_unlock(loop_);
    const bool connected = rc >= 0 && waitFor(loop_, [&] {
                               const auto state = pa_context_get_state(context_);
                               return state == PA_CONTEXT_READY ? 1 : PA_CONTEXT_IS_GOOD(state) ? 0 : -1;
                           });
    if (!connected) {
        error = "the sound server is not reachable";
        return false;
    }

    pa_threaded_mainloop_lock(loop_);
    const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, static_cast<std::uint32_t>(rate_), 1};
    stream_ = pa_stream_new(context_, "Mirl sound", &format, nullptr);
    int streamRc = -1;
    if (stream_ != nullptr) {
        pa_stream_set_write_callback(stream_, writeCallback, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kTargetLatencyMs * 1000, &format));
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        const auto flags =
            static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY |
                                           PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
        streamRc = pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr);
    }
    pa_threaded_mainloop_unlock(loop_);
    const bool ready = streamRc >= 0 && waitFor(loop_, [&] {
                           const auto state = pa_stream_get_state(stream_);
                           return state == PA_STREAM_READY ? 1 : PA_STREAM_IS_GOOD(state) ? 0 : -1;
                       });
    if (!ready) {
        error = "the sound server refused the playback stream";
        return false;
    }
    return true;
}

PulseAudioPlayer::~PulseAudioPlayer() {
    if (loop_ == nullptr) {
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    if (stream_ != nullptr) {
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
    }
    if (context_ != nullptr) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

void PulseAudioPlayer::onWritable(std::size_t bytes) {
    if (!primed_) {
        return; // nothing is decoded before play(): gain and looping are set by then
    }
    const std::size_t wanted = bytes / sizeof(float);
    std::vector<float> out;
    out.reserve(wanted);
    while (out.size() < wanted) {
        // The container's length ends the sound: the codec's padding after it would be a gap
        // at every turn of a loop.
        std::size_t ask = wanted - out.size();
        if (endFrame_ > 0) {
            ask = static_cast<std::size_t>(
                std::clamp<std::int64_t>(endFrame_ - readPosition_, 0, static_cast<std::int64_t>(ask)));
        }
        auto block = ask > 0 ? reader_->read(readPosition_, ask) : std::vector<float>{};
        if (block.empty()) {
            if (!looping_ || readPosition_ == 0) {
                break;
            }
            readPosition_ = 0; // the loop starts again, sample-exact
            wrapped_ = true;
            continue;
        }
        readPosition_ += static_cast<std::int64_t>(block.size());
        out.insert(out.end(), block.begin(), block.end());
    }
    if (!out.empty()) {
        const float g = gain_;
        for (auto& s : out) {
            s *= g;
        }
        pa_stream_write(stream_, out.data(), out.size() * sizeof(float), nullptr, 0, PA_SEEK_RELATIVE);
    } else if (!draining_) {
        draining_ = true;
        // What is left may be less than the server waits for before it starts playing.
        unref(pa_stream_trigger(stream_, nullptr, nullptr));
        unref(pa_stream_drain(stream_, drainCallback, this));
    }
}

void PulseAudioPlayer::onDrained() {
    if (!draining_) {
        return; // a seek or stop came in between
    }
    playing_ = false;
    mainThread_.post([this, alive = std::weak_ptr<int>(alive_)] {
        // A copy: the listener may destroy this player.
        if (auto notify = alive.lock() ? onFinished : nullptr) {
            notify();
        }
    });
}

double PulseAudioPlayer::bufferedSeconds() const {
    pa_usec_t usec = 0;
    int negative = 0;
    if (stream_ == nullptr || pa_stream_get_latency(stream_, &usec, &negative) < 0 || negative != 0) {
        return 0.0;
    }
    return static_cast<double>(usec) / 1e6;
}

void PulseAudioPlayer::play() {
    pa_threaded_mainloop_lock(loop_);
    if (draining_) {
        restartFrom(0); // finished: play again from the start
    }
    if (!primed_) {
        primed_ = true;
        const std::size_t writable = pa_stream_writable_size(stream_);
        if (writable != static_cast<std::size_t>(-1) && writable > 0) {
            onWritable(writable);
        }
    }
    unref(pa_stream_cork(stream_, 0, nullptr, nullptr));
    unref(pa_stream_trigger(stream_, nullptr, nullptr));
    playing_ = true;
    pa_threaded_mainloop_unlock(loop_);
}

void PulseAudioPlayer::pause() {
    pa_threaded_mainloop_lock(loop_);
    unref(pa_stream_cork(stream_, 1, nullptr, nullptr));
    playing_ = false;
    pa_threaded_mainloop_unlock(loop_);
}

void PulseAudioPlayer::stop() {
    pa_threaded_mainloop_lock(loop_);
    unref(pa_stream_cork(stream_, 1, nullptr, nullptr));
    restartFrom(0);
    playing_ = false;
    pa_threaded_mainloop_unlock(loop_);
}

void PulseAudioPlayer::seek(double seconds) {
    const auto frame = std::clamp<std::int64_t>(std::llround(seconds * rate_), 0,
                                                std::max<std::int64_t>(reader_->lengthFrames(), 0));
    pa_threaded_mainloop_lock(loop_);
    restartFrom(frame);
    pa_threaded_mainloop_unlock(loop_);
}

void PulseAudioPlayer::restartFrom(std::int64_t frame) {
    // Drops what the server has buffered, so that the new position is heard at once.
    unref(pa_stream_flush(stream_, nullptr, nullptr));
    readPosition_ = frame;
    draining_ = false;
    wrapped_ = false;
    // Refill right away (the server asks again when it wants more).
    const std::size_t writable = pa_stream_writable_size(stream_);
    if (writable != static_cast<std::size_t>(-1) && writable > 0) {
        onWritable(writable);
    }
}

double PulseAudioPlayer::currentTime() const {
    // What is heard: the decoding position minus what the server still holds.
    pa_threaded_mainloop_lock(loop_);
    double t = static_cast<double>(readPosition_) / rate_ - bufferedSeconds();
    const bool wrapped = wrapped_;
    pa_threaded_mainloop_unlock(loop_);
    if (t < 0) {
        t = wrapped && duration_ > 0 ? t + duration_ : 0.0;
    }
    return duration_ > 0 ? std::min(t, duration_) : t;
}

} // namespace mirl
