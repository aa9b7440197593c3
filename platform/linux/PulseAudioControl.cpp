#include "platform/linux/PulseAudioControl.h"

#include <pulse/pulseaudio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace mirl {

struct PulseAudioControl::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    Model model;
    int nextId = 1;
    std::map<int, std::pair<std::uint32_t, Listener>> volumeListeners;
    std::map<int, Listener> defaultListeners;
    std::map<int, Listener> inputListeners;
    std::set<std::uint32_t> volumePending;
    bool defaultPending = false;
    bool inputsPending = false;
    std::uint32_t announcedDefault = 0;
};

namespace {

constexpr auto kWriteWait = std::chrono::milliseconds(1000);
constexpr pa_usec_t kRetryDelay = 1000000;

std::uint32_t toId(std::uint32_t index) {
    return index + 1;
}
std::uint32_t toIndex(std::uint32_t id) {
    return id - 1;
}

std::optional<int> percentOf(const std::vector<std::uint32_t>& volumes) {
    if (volumes.empty()) {
        return std::nullopt;
    }
    const std::uint64_t loudest = *std::max_element(volumes.begin(), volumes.end());
    return static_cast<int>((loudest * 100 + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM);
}

std::string text(const char* s) {
    return s != nullptr ? s : "";
}

PulseAudioControl* self(void* userdata) {
    return static_cast<PulseAudioControl*>(userdata);
}

// An operation a caller waits for: success flag and completion, shared with the loop thread.
struct Waiter {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool ok = false;
};

void finish(const std::shared_ptr<Waiter>& waiter, bool ok) {
    std::lock_guard lock(waiter->mutex);
    waiter->ok = ok;
    waiter->finished = true;
    waiter->done.notify_all();
}

void onSuccess(pa_context*, int success, void* userdata) {
    finish(*static_cast<std::shared_ptr<Waiter>*>(userdata), success != 0);
}

void onOperationState(pa_operation* op, void* userdata) {
    const auto state = pa_operation_get_state(op);
    if (state == PA_OPERATION_RUNNING) {
        return;
    }
    auto* holder = static_cast<std::shared_ptr<Waiter>*>(userdata);
    if (state == PA_OPERATION_CANCELLED) {
        finish(*holder, false);
    }
    delete holder;
}

void contextStateCallback(pa_context*, void* userdata) {
    self(userdata)->onContextState();
}

void subscribeCallback(pa_context*, pa_subscription_event_type_t type, std::uint32_t index, void* userdata) {
    self(userdata)->onSubscription(type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK,
                                   type & PA_SUBSCRIPTION_EVENT_TYPE_MASK, index);
}

void serverInfoCallback(pa_context*, const pa_server_info* info, void* userdata) {
    if (info != nullptr) {
        self(userdata)->onServerInfo(info->server_name, info->server_version, info->default_sink_name,
                                     info->default_source_name);
    }
}

void initialServerInfoCallback(pa_context* c, const pa_server_info* info, void* userdata) {
    serverInfoCallback(c, info, userdata);
    self(userdata)->onListDone();
}

PulseAudioControl::Sink sinkOf(const pa_sink_info* info) {
    PulseAudioControl::Sink sink;
    sink.name = text(info->name);
    sink.description = text(info->description);
    sink.channelVolumes.assign(info->volume.values, info->volume.values + info->volume.channels);
    sink.running = info->state == PA_SINK_RUNNING;
    return sink;
}

void sinkCallback(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    if (eol == 0 && info != nullptr) {
        self(userdata)->onSink(info->index, sinkOf(info));
    }
}

void sinkListCallback(pa_context* c, const pa_sink_info* info, int eol, void* userdata) {
    sinkCallback(c, info, eol, userdata);
    if (eol != 0) {
        self(userdata)->onListDone();
    }
}

void sourceCallback(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    if (eol == 0 && info != nullptr) {
        self(userdata)->onSource(info->index, {text(info->name), text(info->description),
                                               info->monitor_of_sink != PA_INVALID_INDEX});
    }
}

void sourceListCallback(pa_context* c, const pa_source_info* info, int eol, void* userdata) {
    sourceCallback(c, info, eol, userdata);
    if (eol != 0) {
        self(userdata)->onListDone();
    }
}

void sinkInputCallback(pa_context*, const pa_sink_input_info* info, int eol, void* userdata) {
    if (eol == 0 && info != nullptr) {
        const char* pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
        const bool ours = pid != nullptr && std::atol(pid) == static_cast<long>(::getpid());
        self(userdata)->onSinkInput(info->index, {info->sink, info->corked != 0, ours});
    }
}

void sinkInputListCallback(pa_context* c, const pa_sink_input_info* info, int eol, void* userdata) {
    sinkInputCallback(c, info, eol, userdata);
    if (eol != 0) {
        self(userdata)->onListDone();
    }
}

void retryCallback(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
    self(userdata)->onRetry();
}

void unrefOperation(pa_operation* op) {
    if (op != nullptr) {
        pa_operation_unref(op);
    }
}

} // namespace

PulseAudioControl::PulseAudioControl(Scheduler& mainThread, Duration connectWait)
    : mainThread_(mainThread), shared_(std::make_shared<Shared>()) {
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) {
        return;
    }
    pa_threaded_mainloop_set_name(loop_, "Mirl.pulse");
    if (pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    connect();
    pa_threaded_mainloop_unlock(loop_);
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait_for(lock, connectWait, [&] { return shared_->model.ready; });
}

PulseAudioControl::~PulseAudioControl() {
    if (loop_ == nullptr) {
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    if (retry_ != nullptr) {
        pa_threaded_mainloop_get_api(loop_)->time_free(retry_);
        retry_ = nullptr;
    }
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

void PulseAudioControl::connect() {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Mirl");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "org.mirl.Mirl");
    context_ = pa_context_new_with_proplist(api, "Mirl", props);
    pa_proplist_free(props);
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, contextStateCallback, this);
        pa_context_set_subscribe_callback(context_, subscribeCallback, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
            return;
        }
    }
    scheduleRetry();
}

void PulseAudioControl::scheduleRetry() {
    if (retry_ == nullptr) {
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
        timeval when{};
        pa_gettimeofday(&when);
        pa_timeval_add(&when, kRetryDelay);
        retry_ = api->time_new(api, &when, retryCallback, this);
    }
}

void PulseAudioControl::onRetry() {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    api->time_free(retry_);
    retry_ = nullptr;
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    connect();
}

void PulseAudioControl::onContextState() {
    const auto state = pa_context_get_state(context_);
    if (state == PA_CONTEXT_READY) {
        {
            std::lock_guard lock(shared_->mutex);
            shared_->model = Model{};
            shared_->model.pendingLists = 4;
        }
        const auto mask = static_cast<pa_subscription_mask_t>(
            PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SINK_INPUT |
            PA_SUBSCRIPTION_MASK_SERVER);
        unrefOperation(pa_context_subscribe(context_, mask, nullptr, nullptr));
        unrefOperation(pa_context_get_server_info(context_, initialServerInfoCallback, this));
        unrefOperation(pa_context_get_sink_info_list(context_, sinkListCallback, this));
        unrefOperation(pa_context_get_source_info_list(context_, sourceListCallback, this));
        unrefOperation(pa_context_get_sink_input_info_list(context_, sinkInputListCallback, this));
    } else if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
        {
            std::lock_guard lock(shared_->mutex);
            shared_->model = Model{};
            shared_->changed.notify_all();
        }
        publishDefaults();
        notifyInputs();
        scheduleRetry();
    }
}

void PulseAudioControl::onListDone() {
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->model.ready || --shared_->model.pendingLists > 0) {
            return;
        }
        shared_->model.ready = true;
        shared_->changed.notify_all();
    }
    publishDefaults();
    notifyInputs();
}

void PulseAudioControl::onSubscription(int facility, int type, std::uint32_t index) {
    const bool removed = type == PA_SUBSCRIPTION_EVENT_REMOVE;
    switch (facility) {
    case PA_SUBSCRIPTION_EVENT_SINK:
        if (removed) {
            {
                std::lock_guard lock(shared_->mutex);
                shared_->model.sinks.erase(index);
            }
            publishDefaults();
        } else {
            unrefOperation(pa_context_get_sink_info_by_index(context_, index, sinkCallback, this));
        }
        break;
    case PA_SUBSCRIPTION_EVENT_SOURCE:
        if (removed) {
            {
                std::lock_guard lock(shared_->mutex);
                shared_->model.sources.erase(index);
            }
            notifyInputs();
        } else {
            unrefOperation(pa_context_get_source_info_by_index(context_, index, sourceCallback, this));
        }
        break;
    case PA_SUBSCRIPTION_EVENT_SINK_INPUT:
        if (removed) {
            std::lock_guard lock(shared_->mutex);
            shared_->model.inputs.erase(index);
        } else {
            unrefOperation(pa_context_get_sink_input_info(context_, index, sinkInputCallback, this));
        }
        break;
    case PA_SUBSCRIPTION_EVENT_SERVER:
        unrefOperation(pa_context_get_server_info(context_, serverInfoCallback, this));
        break;
    default:
        break;
    }
}

void PulseAudioControl::onServerInfo(const char* server, const char* version, const char* sink,
                                     const char* source) {
    bool sourceChanged = false;
    bool ready = false;
    {
        std::lock_guard lock(shared_->mutex);
        Model& m = shared_->model;
        m.server = text(server);
        m.version = text(version);
        m.defaultSink = text(sink);
        sourceChanged = m.defaultSource != text(source);
        m.defaultSource = text(source);
        ready = m.ready;
    }
    if (ready) {
        publishDefaults();
        if (sourceChanged) {
            notifyInputs();
        }
    }
}

void PulseAudioControl::onSink(std::uint32_t index, const Sink& sink) {
    bool volumeChanged = false;
    bool ready = false;
    {
        std::lock_guard lock(shared_->mutex);
        auto& sinks = shared_->model.sinks;
        auto old = sinks.find(index);
        volumeChanged = old != sinks.end() && old->second.channelVolumes != sink.channelVolumes;
        sinks[index] = sink;
        ready = shared_->model.ready;
    }
    if (ready) {
        if (volumeChanged) {
            notifyVolume(toId(index));
        }
        publishDefaults();
    }
}

void PulseAudioControl::onSource(std::uint32_t index, const Source& source) {
    bool fresh = false;
    {
        std::lock_guard lock(shared_->mutex);
        auto& sources = shared_->model.sources;
        auto old = sources.find(index);
        fresh = old == sources.end() || old->second.name != source.name ||
                old->second.description != source.description;
        sources[index] = source;
        fresh = fresh && shared_->model.ready;
    }
    if (fresh) {
        notifyInputs();
    }
}

void PulseAudioControl::onSinkInput(std::uint32_t index, const SinkInput& input) {
    std::lock_guard lock(shared_->mutex);
    shared_->model.inputs[index] = input;
}

// ---- Listener delivery on the main thread, coalesced ----

void PulseAudioControl::publishDefaults() {
    std::uint32_t device = defaultOutputDevice();
    std::lock_guard lock(shared_->mutex);
    if (device == shared_->announcedDefault) {
        return;
    }
    shared_->announcedDefault = device;
    if (std::exchange(shared_->defaultPending, true)) {
        return;
    }
    mainThread_.post([weak = std::weak_ptr<Shared>(shared_)] {
        auto shared = weak.lock();
        if (!shared) {
            return;
        }
        std::vector<Listener> calls;
        {
            std::lock_guard lock(shared->mutex);
            shared->defaultPending = false;
            for (auto& [id, listener] : shared->defaultListeners) {
                calls.push_back(listener);
            }
        }
        for (auto& call : calls) {
            call();
        }
    });
}

void PulseAudioControl::notifyVolume(std::uint32_t device) {
    std::lock_guard lock(shared_->mutex);
    const bool wasIdle = shared_->volumePending.empty();
    shared_->volumePending.insert(device);
    if (!wasIdle) {
        return;
    }
    mainThread_.post([weak = std::weak_ptr<Shared>(shared_)] {
        auto shared = weak.lock();
        if (!shared) {
            return;
        }
        std::vector<Listener> calls;
        {
            std::lock_guard lock(shared->mutex);
            for (auto& [id, entry] : shared->volumeListeners) {
                if (shared->volumePending.count(entry.first) != 0) {
                    calls.push_back(entry.second);
                }
            }
            shared->volumePending.clear();
        }
        for (auto& call : calls) {
            call();
        }
    });
}

void PulseAudioControl::notifyInputs() {
    std::lock_guard lock(shared_->mutex);
    if (std::exchange(shared_->inputsPending, true)) {
        return;
    }
    mainThread_.post([weak = std::weak_ptr<Shared>(shared_)] {
        auto shared = weak.lock();
        if (!shared) {
            return;
        }
        std::vector<Listener> calls;
        {
            std::lock_guard lock(shared->mutex);
            shared->inputsPending = false;
            for (auto& [id, listener] : shared->inputListeners) {
                calls.push_back(listener);
            }
        }
        for (auto& call : calls) {
            call();
        }
    });
}

AudioControl::Listening PulseAudioControl::listenToVolume(std::uint32_t device, Listener listener) {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->model.ready) {
        return {Handle(), PA_ERR_CONNECTIONTERMINATED};
    }
    if (device == 0 || shared_->model.sinks.count(toIndex(device)) == 0) {
        return {Handle(), PA_ERR_NOENTITY};
    }
    const int id = shared_->nextId++;
    shared_->volumeListeners[id] = {device, std::move(listener)};
    return {Handle([weak = std::weak_ptr<Shared>(shared_), id] {
                if (auto shared = weak.lock()) {
                    std::lock_guard lock(shared->mutex);
                    shared->volumeListeners.erase(id);
                }
            }),
            0};
}

Handle PulseAudioControl::listenToDefaultOutput(Listener listener) {
    std::lock_guard lock(shared_->mutex);
    const int id = shared_->nextId++;
    shared_->defaultListeners[id] = std::move(listener);
    return Handle([weak = std::weak_ptr<Shared>(shared_), id] {
        if (auto shared = weak.lock()) {
            std::lock_guard lock(shared->mutex);
            shared->defaultListeners.erase(id);
        }
    });
}

Handle PulseAudioControl::listenToInputs(Listener listener) {
    std::lock_guard lock(shared_->mutex);
    const int id = shared_->nextId++;
    shared_->inputListeners[id] = std::move(listener);
    return Handle([weak = std::weak_ptr<Shared>(shared_), id] {
        if (auto shared = weak.lock()) {
            std::lock_guard lock(shared->mutex);
            shared->inputListeners.erase(id);
        }
    });
}

// ---- Reads ----

bool PulseAudioControl::connected() {
    std::lock_guard lock(shared_->mutex);
    return shared_->model.ready;
}

std::optional<SoundServerInfo> PulseAudioControl::serverInfo() {
    std::lock_guard lock(shared_->mutex);
    const Model& m = shared_->model;
    if (!m.ready) {
        return std::nullopt;
    }
    SoundServerInfo info{m.server, m.version, m.defaultSink, {}, m.defaultSource};
    for (const auto& [index, sink] : m.sinks) {
        if (sink.name == m.defaultSink) {
            info.defaultOutputName = sink.description;
        }
    }
    return info;
}

std::uint32_t PulseAudioControl::defaultOutputDevice() {
    std::lock_guard lock(shared_->mutex);
    const Model& m = shared_->model;
    if (!m.ready) {
        return 0;
    }
    for (const auto& [index, sink] : m.sinks) {
        if (sink.name == m.defaultSink) {
            return toId(index);
        }
    }
    return 0;
}

bool PulseAudioControl::deviceHasVolume(std::uint32_t device) {
    return deviceVolume(device).has_value();
}

std::optional<int> PulseAudioControl::deviceVolume(std::uint32_t device) {
    std::lock_guard lock(shared_->mutex);
    if (device == 0 || !shared_->model.ready) {
        return std::nullopt;
    }
    auto sink = shared_->model.sinks.find(toIndex(device));
    if (sink == shared_->model.sinks.end()) {
        return std::nullopt;
    }
    return percentOf(sink->second.channelVolumes);
}

std::vector<SoundDevice> PulseAudioControl::inputDevices() {
    std::lock_guard lock(shared_->mutex);
    std::vector<SoundDevice> devices;
    for (const auto& [index, source] : shared_->model.sources) {
        if (!source.monitor) {
            devices.push_back({toId(index), source.description, source.name});
        }
    }
    return devices;
}

std::uint32_t PulseAudioControl::defaultInputDevice() {
    std::lock_guard lock(shared_->mutex);
    for (const auto& [index, source] : shared_->model.sources) {
        if (source.name == shared_->model.defaultSource) {
            return toId(index);
        }
    }
    return 0;
}

bool PulseAudioControl::isOutputPlaying() {
    std::lock_guard lock(shared_->mutex);
    for (const auto& [index, input] : shared_->model.inputs) {
        if (input.corked || input.ours) {
            continue;
        }
        auto sink = shared_->model.sinks.find(input.sink);
        if (sink != shared_->model.sinks.end() && sink->second.running) {
            return true;
        }
    }
    return false;
}

// ---- Writes ----

template <class F> bool PulseAudioControl::runAndWait(F start) {
    if (loop_ == nullptr) {
        return false;
    }
    auto waiter = std::make_shared<Waiter>();
    pa_threaded_mainloop_lock(loop_);
    pa_operation* op = nullptr;
    if (context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY) {
        auto* holder = new std::shared_ptr<Waiter>(waiter);
        op = start(context_, holder);
        if (op == nullptr) {
            delete holder;
        } else {
            pa_operation_set_state_callback(op, onOperationState, holder);
            pa_operation_unref(op);
        }
    }
    pa_threaded_mainloop_unlock(loop_);
    if (op == nullptr) {
        return false;
    }
    std::unique_lock lock(waiter->mutex);
    waiter->done.wait_for(lock, kWriteWait, [&] { return waiter->finished; });
    return waiter->finished && waiter->ok;
}

void PulseAudioControl::setOutputVolume(int percent) {
    percent = std::clamp(percent, 0, 100);
    std::uint32_t index = 0;
    pa_cvolume volume{};
    {
        std::lock_guard lock(shared_->mutex);
        const Model& m = shared_->model;
        auto sink = std::find_if(m.sinks.begin(), m.sinks.end(),
                                 [&](const auto& entry) { return entry.second.name == m.defaultSink; });
        if (!m.ready || sink == m.sinks.end() || sink->second.channelVolumes.empty()) {
            return; // no server or no output: the write is dropped
        }
        index = sink->first;
        volume.channels = static_cast<std::uint8_t>(
            std::min<std::size_t>(sink->second.channelVolumes.size(), PA_CHANNELS_MAX));
        std::copy_n(sink->second.channelVolumes.begin(), volume.channels, volume.values);
    }
    const auto target =
        static_cast<pa_volume_t>((static_cast<std::uint64_t>(percent) * PA_VOLUME_NORM + 50) / 100);
    if (pa_cvolume_max(&volume) == PA_VOLUME_MUTED) {
        pa_cvolume_set(&volume, volume.channels, target);
    } else {
        pa_cvolume_scale(&volume, target);
    }
    const bool ok = runAndWait([&](pa_context* c, void* holder) {
        return pa_context_set_sink_volume_by_index(c, index, &volume, onSuccess, holder);
    });
    if (ok) {
        Sink updated;
        {
            std::lock_guard lock(shared_->mutex);
            auto sink = shared_->model.sinks.find(index);
            if (sink == shared_->model.sinks.end()) {
                return;
            }
            updated = sink->second;
        }
        updated.channelVolumes.assign(volume.values, volume.values + volume.channels);
        onSink(index, updated);
    }
}

bool PulseAudioControl::setDefaultInputDevice(std::uint32_t device) {
    std::string name;
    {
        std::lock_guard lock(shared_->mutex);
        auto source = shared_->model.sources.find(toIndex(device));
        if (device == 0 || source == shared_->model.sources.end() || source->second.monitor) {
            return false;
        }
        name = source->second.name;
    }
    const bool ok = runAndWait([&](pa_context* c, void* holder) {
        return pa_context_set_default_source(c, name.c_str(), onSuccess, holder);
    });
    if (ok) {
        bool changed = false;
        {
            std::lock_guard lock(shared_->mutex);
            changed = shared_->model.defaultSource != name;
            shared_->model.defaultSource = name;
        }
        if (changed) {
            notifyInputs();
        }
    }
    return ok;
}

} // namespace mirl
