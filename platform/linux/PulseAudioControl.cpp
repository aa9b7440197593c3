#include "platform/linux/PulseAudioControl.h"

#include "platform/linux/PulseServerWatch.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace mirl {

namespace {

constexpr auto kWriteWait = std::chrono::milliseconds(1000);

using Model = PulseServerState::Model;

std::optional<int> percentOf(const std::vector<std::uint32_t>& volumes) {
    if (volumes.empty()) {
        return std::nullopt;
    }
    const std::uint64_t loudest = *std::max_element(volumes.begin(), volumes.end());
    return static_cast<int>((loudest * 100 + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM);
}

} // namespace

PulseAudioControl::PulseAudioControl(Scheduler& mainThread, Duration connectWait)
    : state_(mainThread),
      connection_({[this](pa_context* c) { watchPulseServer(c, state_); }, [this] { state_.lost(); },
                   [this](pa_context* c, int facility, int type, std::uint32_t index) {
                       onPulseServerEvent(c, facility, type, index, state_);
                   }}) {
    if (connection_.running()) {
        state_.waitReady(connectWait);
    }
}

PulseAudioControl::~PulseAudioControl() = default;

// ---- Listeners ----

AudioControl::Listening PulseAudioControl::listenToVolume(std::uint32_t device, Listener listener) {
    return state_.listenToVolume(device, std::move(listener));
}

Handle PulseAudioControl::listenToDefaultOutput(Listener listener) {
    return state_.listenToDefaultOutput(std::move(listener));
}

Handle PulseAudioControl::listenToInputs(Listener listener) {
    return state_.listenToInputs(std::move(listener));
}

// ---- Reads ----

bool PulseAudioControl::connected() {
    return state_.read([](const Model& m) { return m.ready; });
}

std::optional<SoundServerInfo> PulseAudioControl::serverInfo() {
    return state_.read([](const Model& m) -> std::optional<SoundServerInfo> {
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
    });
}

std::uint32_t PulseAudioControl::defaultOutputDevice() {
    return state_.read([](const Model& m) { return PulseServerState::defaultOutputId(m); });
}

bool PulseAudioControl::deviceHasVolume(std::uint32_t device) {
    return deviceVolume(device).has_value();
}

std::optional<int> PulseAudioControl::deviceVolume(std::uint32_t device) {
    return state_.read([device](const Model& m) -> std::optional<int> {
        if (device == 0 || !m.ready) {
            return std::nullopt;
        }
        auto sink = m.sinks.find(pulseIndexOf(device));
        if (sink == m.sinks.end()) {
            return std::nullopt;
        }
        return percentOf(sink->second.channelVolumes);
    });
}

std::vector<SoundDevice> PulseAudioControl::inputDevices() {
    return state_.read([](const Model& m) {
        std::vector<SoundDevice> devices;
        for (const auto& [index, source] : m.sources) {
            if (!source.monitor) {
                devices.push_back({pulseIdOf(index), source.description, source.name});
            }
        }
        return devices;
    });
}

std::uint32_t PulseAudioControl::defaultInputDevice() {
    return state_.read([](const Model& m) -> std::uint32_t {
        for (const auto& [index, source] : m.sources) {
            if (source.name == m.defaultSource) {
                return pulseIdOf(index);
            }
        }
        return 0;
    });
}

bool PulseAudioControl::isOutputPlaying() {
    return state_.read([](const Model& m) {
        for (const auto& [index, input] : m.inputs) {
            if (input.corked || input.ours) {
                continue;
            }
            auto sink = m.sinks.find(input.sink);
            if (sink != m.sinks.end() && sink->second.running) {
                return true;
            }
        }
        return false;
    });
}

// ---- Writes ----

bool PulseAudioControl::setOutputVolume(int percent) {
    percent = std::clamp(percent, 0, 100);
    std::optional<PulseServerState::Sink> sink;
    std::uint32_t index = 0;
    state_.read([&](const Model& m) {
        auto found = std::find_if(m.sinks.begin(), m.sinks.end(),
                                  [&](const auto& entry) { return entry.second.name == m.defaultSink; });
        if (m.ready && found != m.sinks.end() && !found->second.channelVolumes.empty()) {
            index = found->first;
            sink = found->second;
        }
    });
    if (!sink) {
        return false; // no server or no output: the write is dropped
    }
    pa_cvolume volume{};
    volume.channels =
        static_cast<std::uint8_t>(std::min<std::size_t>(sink->channelVolumes.size(), PA_CHANNELS_MAX));
    std::copy_n(sink->channelVolumes.begin(), volume.channels, volume.values);
    const auto target =
        static_cast<pa_volume_t>((static_cast<std::uint64_t>(percent) * PA_VOLUME_NORM + 50) / 100);
    if (pa_cvolume_max(&volume) == PA_VOLUME_MUTED) {
        pa_cvolume_set(&volume, volume.channels, target);
    } else {
        pa_cvolume_scale(&volume, target);
    }
    const bool ok = connection_.runAndWait(
        [&](pa_context* c, PulseConnection::SuccessCallback done, void* userdata) {
            return pa_context_set_sink_volume_by_index(c, index, &volume, done, userdata);
        },
        kWriteWait);
    if (!ok) {
        return false;
    }
    // Take the new volume at once rather than waiting for the server's echo.
    auto updated = state_.read([index](const Model& m) -> std::optional<PulseServerState::Sink> {
        auto found = m.sinks.find(index);
        return found != m.sinks.end() ? std::optional(found->second) : std::nullopt;
    });
    if (updated) {
        updated->channelVolumes.assign(volume.values, volume.values + volume.channels);
        state_.updateSink(index, *updated);
    }
    return true;
}

bool PulseAudioControl::setDefaultInputDevice(std::uint32_t device) {
    const auto name = state_.read([device](const Model& m) -> std::optional<std::string> {
        auto source = m.sources.find(pulseIndexOf(device));
        if (device == 0 || source == m.sources.end() || source->second.monitor) {
            return std::nullopt;
        }
        return source->second.name;
    });
    if (!name) {
        return false;
    }
    const bool ok = connection_.runAndWait(
        [&](pa_context* c, PulseConnection::SuccessCallback done, void* userdata) {
            return pa_context_set_default_source(c, name->c_str(), done, userdata);
        },
        kWriteWait);
    if (ok) {
        state_.adoptDefaultSource(*name);
    }
    return ok;
}

} // namespace mirl
