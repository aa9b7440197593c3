#include "platform/linux/PulseServerState.h"

#include <pulse/def.h>

namespace mirl {

PulseServerState::PulseServerState(Scheduler& mainThread)
    : mainThread_(mainThread), shared_(std::make_shared<Shared>()) {}

bool PulseServerState::waitReady(Duration wait) {
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, wait, [&] { return shared_->model.ready; });
}

std::uint32_t PulseServerState::defaultOutputId(const Model& model) {
    if (!model.ready) {
        return 0;
    }
    for (const auto& [index, sink] : model.sinks) {
        if (sink.name == model.defaultSink) {
            return pulseIdOf(index);
        }
    }
    return 0;
}

// ---- Updates from the main loop thread ----

void PulseServerState::reset(int pendingLists) {
    std::lock_guard lock(shared_->mutex);
    shared_->model = Model{};
    shared_->model.pendingLists = pendingLists;
}

void PulseServerState::lost() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->model = Model{};
        shared_->changed.notify_all();
    }
    publishDefaults();
    notifyInputs();
}

void PulseServerState::listDone() {
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

void PulseServerState::updateServer(const std::string& server, const std::string& version,
                                    const std::string& sink, const std::string& source) {
    bool sourceChanged = false;
    bool ready = false;
    {
        std::lock_guard lock(shared_->mutex);
        Model& m = shared_->model;
        m.server = server;
        m.version = version;
        m.defaultSink = sink;
        sourceChanged = m.defaultSource != source;
        m.defaultSource = source;
        ready = m.ready;
    }
    if (ready) {
        publishDefaults();
        if (sourceChanged) {
            notifyInputs();
        }
    }
}

void PulseServerState::updateSink(std::uint32_t index, const Sink& sink) {
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
            notifyVolume(pulseIdOf(index));
        }
        publishDefaults();
    }
}

void PulseServerState::updateSource(std::uint32_t index, const Source& source) {
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

void PulseServerState::updateSinkInput(std::uint32_t index, const SinkInput& input) {
    std::lock_guard lock(shared_->mutex);
    shared_->model.inputs[index] = input;
}

void PulseServerState::removeSink(std::uint32_t index) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->model.sinks.erase(index);
    }
    publishDefaults();
}

void PulseServerState::removeSource(std::uint32_t index) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->model.sources.erase(index);
    }
    notifyInputs();
}

void PulseServerState::removeSinkInput(std::uint32_t index) {
    std::lock_guard lock(shared_->mutex);
    shared_->model.inputs.erase(index);
}

void PulseServerState::adoptDefaultSource(const std::string& name) {
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

// ---- Listener delivery on the main thread, coalesced ----

void PulseServerState::deliver(std::function<std::vector<Listener>(Shared&)> collect) {
    mainThread_.post([weak = std::weak_ptr<Shared>(shared_), collect = std::move(collect)] {
        auto shared = weak.lock();
        if (!shared) {
            return;
        }
        std::vector<Listener> calls;
        {
            std::lock_guard lock(shared->mutex);
            calls = collect(*shared);
        }
        for (auto& call : calls) {
            call();
        }
    });
}

namespace {

std::vector<AudioControl::Listener> allOf(const std::map<int, AudioControl::Listener>& listeners) {
    std::vector<AudioControl::Listener> calls;
    for (const auto& [id, listener] : listeners) {
        calls.push_back(listener);
    }
    return calls;
}

} // namespace

void PulseServerState::publishDefaults() {
    std::lock_guard lock(shared_->mutex);
    const std::uint32_t device = defaultOutputId(shared_->model);
    if (device == shared_->announcedDefault) {
        return;
    }
    shared_->announcedDefault = device;
    if (std::exchange(shared_->defaultPending, true)) {
        return;
    }
    deliver([](Shared& shared) {
        shared.defaultPending = false;
        return allOf(shared.defaultListeners);
    });
}

void PulseServerState::notifyVolume(std::uint32_t device) {
    std::lock_guard lock(shared_->mutex);
    const bool wasIdle = shared_->volumePending.empty();
    shared_->volumePending.insert(device);
    if (!wasIdle) {
        return;
    }
    deliver([](Shared& shared) {
        std::vector<Listener> calls;
        for (auto& [id, entry] : shared.volumeListeners) {
            if (shared.volumePending.count(entry.first) != 0) {
                calls.push_back(entry.second);
            }
        }
        shared.volumePending.clear();
        return calls;
    });
}

void PulseServerState::notifyInputs() {
    std::lock_guard lock(shared_->mutex);
    if (std::exchange(shared_->inputsPending, true)) {
        return;
    }
    deliver([](Shared& shared) {
        shared.inputsPending = false;
        return allOf(shared.inputListeners);
    });
}

// ---- Listener registration ----

AudioControl::Listening PulseServerState::listenToVolume(std::uint32_t device, Listener listener) {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->model.ready) {
        return {Handle(), PA_ERR_CONNECTIONTERMINATED};
    }
    if (device == 0 || shared_->model.sinks.count(pulseIndexOf(device)) == 0) {
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

Handle PulseServerState::addListener(std::map<int, Listener> Shared::*listeners, Listener listener) {
    std::lock_guard lock(shared_->mutex);
    const int id = shared_->nextId++;
    ((*shared_).*listeners)[id] = std::move(listener);
    return Handle([weak = std::weak_ptr<Shared>(shared_), listeners, id] {
        if (auto shared = weak.lock()) {
            std::lock_guard lock(shared->mutex);
            ((*shared).*listeners).erase(id);
        }
    });
}

Handle PulseServerState::listenToDefaultOutput(Listener listener) {
    return addListener(&Shared::defaultListeners, std::move(listener));
}

Handle PulseServerState::listenToInputs(Listener listener) {
    return addListener(&Shared::inputListeners, std::move(listener));
}

} // namespace mirl
