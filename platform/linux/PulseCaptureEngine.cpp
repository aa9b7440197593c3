#include "platform/linux/PulseCaptureEngine.h"

#include "platform/linux/PulseSourceQuery.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstring>

namespace mirl {

namespace {

constexpr auto kConnectWait = std::chrono::seconds(2);
constexpr auto kQueryWait = std::chrono::seconds(1);
constexpr auto kStreamWait = std::chrono::seconds(2);
constexpr pa_usec_t kFragmentUsec = 50000;

PulseCaptureEngine* self(void* userdata) {
    return static_cast<PulseCaptureEngine*>(userdata);
}

void streamStateCallback(pa_stream*, void* userdata) {
    self(userdata)->onStreamState();
}

void readCallback(pa_stream*, std::size_t, void* userdata) {
    self(userdata)->onRead();
}

void movedCallback(pa_stream*, void* userdata) {
    self(userdata)->onMoved();
}

void serverInfoCallback(pa_context*, const pa_server_info* info, void* userdata) {
    self(userdata)->onServerInfo(info != nullptr ? info->default_source_name : nullptr);
}

void unref(pa_operation* op) {
    if (op != nullptr) {
        pa_operation_unref(op);
    }
}

} // namespace

// ---- Change callbacks, delivered on the main thread ----

struct PulseCaptureEngine::Watchers {
    std::mutex mutex;
    int next = 0;
    std::map<int, ChangeCallback> callbacks;
};

Handle PulseCaptureEngine::watchChanges(ChangeCallback callback) {
    std::lock_guard lock(watchers_->mutex);
    const int id = watchers_->next++;
    watchers_->callbacks[id] = std::move(callback);
    return Handle([weak = std::weak_ptr<Watchers>(watchers_), id] {
        if (auto watchers = weak.lock()) {
            std::lock_guard lock(watchers->mutex);
            watchers->callbacks.erase(id);
        }
    });
}

void PulseCaptureEngine::announce(CaptureChange change) {
    mainThread_.post([weak = std::weak_ptr<Watchers>(watchers_), change] {
        auto watchers = weak.lock();
        if (!watchers) {
            return;
        }
        std::vector<ChangeCallback> calls;
        {
            std::lock_guard lock(watchers->mutex);
            for (auto& [id, callback] : watchers->callbacks) {
                calls.push_back(callback);
            }
        }
        for (auto& call : calls) {
            call(change);
        }
    });
}

// ---- The connection ----

PulseCaptureEngine::PulseCaptureEngine(Scheduler& mainThread)
    : mainThread_(mainThread), watchers_(std::make_shared<Watchers>()),
      connection_(
          {[this](pa_context* c) { onReady(c); }, [this] { onLost(); },
           [this](pa_context* c, int facility, int type, std::uint32_t) { onEvent(c, facility, type); }},
          "Mirl.capture") {}

PulseCaptureEngine::~PulseCaptureEngine() {
    stop();
}

void PulseCaptureEngine::onReady(pa_context* context) {
    unref(pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr));
    unref(pa_context_get_server_info(context, serverInfoCallback, this));
    if (std::exchange(lostSinceReady_, false)) {
        announce(CaptureChange::serverReturned);
    }
    std::lock_guard lock(stateMutex_);
    connected_ = true;
    firstAttemptDone_ = true;
    stateChanged_.notify_all();
}

void PulseCaptureEngine::onLost() {
    {
        std::lock_guard lock(stateMutex_);
        firstAttemptDone_ = true;
        stateChanged_.notify_all();
        if (!connected_) {
            return; // a connection attempt that failed: nothing was lost
        }
        connected_ = false;
    }
    lostSinceReady_ = true;
    announce(CaptureChange::serverLost);
}

void PulseCaptureEngine::onEvent(pa_context* context, int facility, int type) {
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER && type == PA_SUBSCRIPTION_EVENT_CHANGE) {
        unref(pa_context_get_server_info(context, serverInfoCallback, this));
    }
}

void PulseCaptureEngine::onServerInfo(const char* defaultSource) {
    const std::string name = defaultSource != nullptr ? defaultSource : "";
    const bool known = !defaultSource_.empty();
    if (name != defaultSource_) {
        defaultSource_ = name;
        if (known) {
            announce(CaptureChange::defaultSourceChanged);
        }
    }
}

bool PulseCaptureEngine::waitConnected() {
    // Only the very first connection is waited for; a server known to be away fails at once, so
    // that retries never hold the main thread.
    std::unique_lock lock(stateMutex_);
    stateChanged_.wait_for(lock, kConnectWait, [&] { return firstAttemptDone_; });
    return connected_;
}

std::optional<PulseSourceFacts> PulseCaptureEngine::querySource(const std::string& name) {
    if (!waitConnected()) {
        return std::nullopt;
    }
    return queryPulseSource(connection_, name, kQueryWait);
}

CaptureFormat PulseCaptureEngine::tapFormat() {
    if (running_) {
        CaptureFormat format;
        connection_.locked([&](pa_context*) { format = format_; });
        return format;
    }
    const auto source = querySource("@DEFAULT_SOURCE@");
    if (!source) {
        return {};
    }
    return {static_cast<double>(source->spec.rate), static_cast<int>(source->spec.channels)};
}

std::optional<CaptureSource> PulseCaptureEngine::currentSource() {
    std::string name = "@DEFAULT_SOURCE@";
    connection_.locked([&](pa_context*) {
        if (stream_ != nullptr && pa_stream_get_state(stream_) == PA_STREAM_READY) {
            if (const char* device = pa_stream_get_device_name(stream_)) {
                name = device;
            }
        }
    });
    const auto source = querySource(name);
    if (!source) {
        return std::nullopt;
    }
    return CaptureSource{source->name, source->description};
}

// ---- The stream ----

std::optional<std::string> PulseCaptureEngine::installTap(Tap tap) {
    connection_.locked([&](pa_context*) { tap_ = std::move(tap); });
    return std::nullopt;
}

void PulseCaptureEngine::removeTap() {
    connection_.locked([&](pa_context*) { tap_ = nullptr; });
}

std::optional<std::string> PulseCaptureEngine::start() {
    if (running_) {
        return std::nullopt;
    }
    if (!waitConnected()) {
        return std::string("the sound server is not reachable");
    }
    const auto source = querySource("@DEFAULT_SOURCE@");
    if (!source) {
        return std::string("no input device");
    }
    if (source->monitor) {
        return "no input device: the default source " + source->name + " is the monitor of an output";
    }
    std::string error;
    connection_.locked([&](pa_context* context) {
        if (context == nullptr) {
            error = "the sound server is not reachable";
            return;
        }
        dropStream();
        pa_sample_spec spec = source->spec;
        spec.format = PA_SAMPLE_FLOAT32NE;
        pa_channel_map map = source->map;
        if (!pa_channel_map_valid(&map) || map.channels != spec.channels) {
            pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);
        }
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "production");
        stream_ = pa_stream_new_with_proplist(context, "Mirl sleep detection", &spec, &map, props);
        pa_proplist_free(props);
        if (stream_ == nullptr) {
            error = pa_strerror(pa_context_errno(context));
            return;
        }
        format_ = {static_cast<double>(spec.rate), static_cast<int>(spec.channels)};
        block_.assign(framesPerBuffer * spec.channels, 0.0f);
        blockFrames_ = 0;
        sampleTime_ = 0;
        stopping_ = false;
        pa_stream_set_state_callback(stream_, streamStateCallback, this);
        pa_stream_set_read_callback(stream_, readCallback, this);
        pa_stream_set_moved_callback(stream_, movedCallback, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUsec, &spec));
        attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
        if (pa_stream_connect_record(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY) < 0) {
            error = pa_strerror(pa_context_errno(context));
            dropStream();
        }
    });
    if (!error.empty()) {
        return error;
    }
    // Wait for the stream to come up or fail (its state callback wakes us).
    const auto deadline = std::chrono::steady_clock::now() + kStreamWait;
    for (;;) {
        std::uint64_t seen = 0;
        {
            std::lock_guard lock(stateMutex_);
            seen = streamChanges_;
        }
        pa_stream_state_t state = PA_STREAM_UNCONNECTED;
        connection_.locked([&](pa_context* context) {
            state = stream_ != nullptr ? pa_stream_get_state(stream_) : PA_STREAM_FAILED;
            if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
                error = context != nullptr ? pa_strerror(pa_context_errno(context))
                                           : "the sound server went away";
                dropStream();
            }
        });
        if (state == PA_STREAM_READY) {
            running_ = true;
            return std::nullopt;
        }
        if (!error.empty()) {
            return error;
        }
        std::unique_lock lock(stateMutex_);
        if (!stateChanged_.wait_until(lock, deadline, [&] { return streamChanges_ != seen; })) {
            lock.unlock();
            connection_.locked([&](pa_context*) { dropStream(); });
            return std::string("the sound server did not open the capture in time");
        }
    }
}

void PulseCaptureEngine::stop() {
    connection_.locked([&](pa_context*) { dropStream(); });
    running_ = false;
}

void PulseCaptureEngine::dropStream() {
    if (stream_ == nullptr) {
        return;
    }
    stopping_ = true;
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_set_moved_callback(stream_, nullptr, nullptr);
    if (pa_stream_get_state(stream_) == PA_STREAM_READY ||
        pa_stream_get_state(stream_) == PA_STREAM_CREATING) {
        pa_stream_disconnect(stream_);
    }
    pa_stream_unref(stream_);
    stream_ = nullptr;
    blockFrames_ = 0;
}

void PulseCaptureEngine::onStreamState() {
    const auto state = pa_stream_get_state(stream_);
    if ((state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) && running_ && !stopping_) {
        running_ = false;
        announce(CaptureChange::streamLost);
    }
    std::lock_guard lock(stateMutex_);
    ++streamChanges_;
    stateChanged_.notify_all();
}

void PulseCaptureEngine::onMoved() {
    announce(CaptureChange::streamMoved);
}

void PulseCaptureEngine::onRead() {
    const auto channels = static_cast<std::size_t>(format_.channels);
    const std::size_t frameBytes = channels * sizeof(float);
    while (stream_ != nullptr && pa_stream_readable_size(stream_) > 0) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) {
            return;
        }
        const auto* samples = static_cast<const float*>(data); // null: a hole, heard as silence
        std::size_t frames = bytes / frameBytes;
        while (frames > 0) {
            const std::size_t take = std::min(frames, framesPerBuffer - blockFrames_);
            float* to = block_.data() + blockFrames_ * channels;
            if (samples != nullptr) {
                std::memcpy(to, samples, take * frameBytes);
                samples += take * channels;
            } else {
                std::fill_n(to, take * channels, 0.0f);
            }
            blockFrames_ += take;
            frames -= take;
            if (blockFrames_ == framesPerBuffer) {
                deliver();
            }
        }
        pa_stream_drop(stream_);
    }
}

void PulseCaptureEngine::deliver() {
    if (tap_) {
        tap_(Buffer{block_.data(), framesPerBuffer, format_, sampleTime_});
    }
    sampleTime_ += static_cast<std::int64_t>(framesPerBuffer);
    blockFrames_ = 0;
}

} // namespace mirl
