#include "fade/SystemVolumeMonitor.h"

#include <cstdlib>

namespace mirl {

SystemVolumeMonitor::SystemVolumeMonitor(AudioControl& audio, EventSink& events)
    : audio_(audio), events_(events) {}

std::optional<int> SystemVolumeMonitor::readDeviceVolume() {
    const std::uint32_t device = audio_.defaultOutputDevice();
    if (device == 0) {
        return std::nullopt;
    }
    return audio_.deviceVolume(device);
}

void SystemVolumeMonitor::start() {
    if (active_) {
        return;
    }
    active_ = true;
    appAppliedPercent_ = readDeviceVolume();
    if (!defaultDeviceListener_.active()) {
        defaultDeviceListener_ =
            audio_.listenToDefaultOutput(lifetime_.guard([this] { defaultDeviceChanged(); }));
    }
    installVolumeListener();
    events_.log("volume_monitor_started",
                {{"device", static_cast<long long>(device_)},
                 {"initial_percent", static_cast<long long>(appAppliedPercent_.value_or(-1))}});
}

void SystemVolumeMonitor::stop() {
    if (!active_) {
        return;
    }
    removeVolumeListener();
    defaultDeviceListener_.cancel();
    active_ = false;
    appAppliedPercent_.reset();
}

void SystemVolumeMonitor::installVolumeListener() {
    const std::uint32_t device = audio_.defaultOutputDevice();
    if (device == 0) {
        events_.log("volume_monitor_no_device");
        return;
    }
    if (!audio_.deviceHasVolume(device)) {
        events_.log("volume_monitor_unsupported_device", {{"device", static_cast<long long>(device)}});
        return;
    }
    auto listening = audio_.listenToVolume(device, lifetime_.guard([this] { volumeChanged(); }));
    if (listening.status != 0) {
        events_.log("volume_monitor_listener_failed", {{"status", static_cast<long long>(listening.status)}});
        return;
    }
    device_ = device;
    volumeListener_ = std::move(listening.handle);
}

void SystemVolumeMonitor::removeVolumeListener() {
    volumeListener_.cancel();
    device_ = 0;
}

void SystemVolumeMonitor::volumeChanged() {
    if (!active_) {
        return;
    }
    const auto volume = readDeviceVolume();
    if (!volume) {
        return;
    }
    if (appAppliedPercent_ && std::abs(*volume - *appAppliedPercent_) <= selfWriteTolerance) {
        return;
    }
    appAppliedPercent_ = volume;
    if (onExternalVolumeChange) {
        onExternalVolumeChange(*volume);
    }
}

void SystemVolumeMonitor::defaultDeviceChanged() {
    if (!active_) {
        return;
    }
    removeVolumeListener();
    installVolumeListener();
    appAppliedPercent_ = readDeviceVolume();
    events_.log("volume_monitor_device_changed",
                {{"device", static_cast<long long>(device_)},
                 {"percent", static_cast<long long>(appAppliedPercent_.value_or(-1))}});
}

} // namespace mirl
