#pragma once

#include "platform/AudioControl.h"

#include <map>
#include <memory>

namespace mirl {

/// A sound server in memory. Listeners are called at once (the real one posts them to the
/// main thread); tests change the server through the public fields and the helpers.
class FakeAudioControl final : public AudioControl {
public:
    struct Output {
        std::optional<int> volume = 50; // nothing: the device has no volume
    };

    std::optional<SoundServerInfo> serverInfo() override {
        if (!serverUp) {
            return std::nullopt;
        }
        return SoundServerInfo{"fake", "1.0", defaultOutput ? "out" + std::to_string(defaultOutput) : "", "",
                               ""};
    }
    std::uint32_t defaultOutputDevice() override { return serverUp ? defaultOutput : 0; }
    bool deviceHasVolume(std::uint32_t device) override {
        auto out = outputs.find(device);
        return serverUp && out != outputs.end() && out->second.volume.has_value();
    }
    std::optional<int> deviceVolume(std::uint32_t device) override {
        if (!volumeReadable || !deviceHasVolume(device)) {
            return std::nullopt;
        }
        return outputs[device].volume;
    }
    bool setOutputVolume(int percent) override {
        ++writes;
        if (serverUp && outputs.count(defaultOutput) != 0 && outputs[defaultOutput].volume) {
            changeVolume(defaultOutput, percent);
            return true;
        }
        return false;
    }
    Listening listenToVolume(std::uint32_t device, Listener listener) override {
        if (listenStatus != 0) {
            return {Handle(), listenStatus};
        }
        const int id = (*listeners_).next++;
        (*listeners_).volume[id] = {device, std::move(listener)};
        return {remover(id), 0};
    }
    Handle listenToDefaultOutput(Listener listener) override {
        const int id = (*listeners_).next++;
        (*listeners_).defaults[id] = std::move(listener);
        return remover(id);
    }
    Handle listenToInputs(Listener listener) override {
        const int id = (*listeners_).next++;
        (*listeners_).inputs[id] = std::move(listener);
        return remover(id);
    }
    std::vector<SoundDevice> inputDevices() override {
        return serverUp ? inputs : std::vector<SoundDevice>{};
    }
    std::uint32_t defaultInputDevice() override { return serverUp ? defaultInput : 0; }
    bool setDefaultInputDevice(std::uint32_t device) override {
        for (const auto& input : inputs) {
            if (serverUp && input.id == device) {
                defaultInput = device;
                fire((*listeners_).inputs);
                return true;
            }
        }
        return false;
    }
    bool isOutputPlaying() override { return serverUp && playing; }

    // ---- Test controls ----
    /// A change of `device`'s volume, from Mirl or from outside; listeners of it are called.
    void changeVolume(std::uint32_t device, int percent) {
        outputs[device].volume = percent;
        std::vector<Listener> calls;
        for (auto& [id, entry] : (*listeners_).volume) {
            if (entry.first == device) {
                calls.push_back(entry.second);
            }
        }
        for (auto& call : calls) {
            call();
        }
    }
    void switchDefaultOutput(std::uint32_t device) {
        defaultOutput = device;
        fire((*listeners_).defaults);
    }
    std::size_t volumeListenerCount() const { return (*listeners_).volume.size(); }

    std::map<std::uint32_t, Output> outputs{{1, Output{}}};
    std::uint32_t defaultOutput = 1;
    std::vector<SoundDevice> inputs;
    std::uint32_t defaultInput = 0;
    bool playing = false;
    bool serverUp = true;
    bool volumeReadable = true; // false: reads fail although the device has a volume
    int listenStatus = 0;       // non-zero: listenToVolume fails with it
    int writes = 0;

private:
    struct Registry {
        int next = 1;
        std::map<int, std::pair<std::uint32_t, Listener>> volume;
        std::map<int, Listener> defaults;
        std::map<int, Listener> inputs;
    };
    static void fire(const std::map<int, Listener>& listeners) {
        auto copy = listeners;
        for (auto& [id, call] : copy) {
            call();
        }
    }
    Handle remover(int id) {
        return Handle([weak = std::weak_ptr<Registry>(listeners_), id] {
            if (auto registry = weak.lock()) {
                registry->volume.erase(id);
                registry->defaults.erase(id);
                registry->inputs.erase(id);
            }
        });
    }
    std::shared_ptr<Registry> listeners_ = std::make_shared<Registry>();
};

} // namespace mirl
