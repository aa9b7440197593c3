#pragma once

#include "journal/EventSink.h"
#include "platform/AudioControl.h"
#include "runtime/Handle.h"
#include "runtime/Lifetime.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace mirl {

/// Notices changes of the system output volume that Mirl did not make itself (volume keys,
/// another program) and reports them through onExternalVolumeChange.
///
/// Every write of SystemAudio records the percent it is about to write in appAppliedPercent;
/// a notification whose reading lies within selfWriteTolerance of that record is Mirl's own
/// echo (or too small to count). A reported change becomes the new reference.
/// Thread rule: main thread only.
class SystemVolumeMonitor {
public:
    static constexpr int selfWriteTolerance = 5;

    SystemVolumeMonitor(AudioControl& audio, EventSink& events);
    SystemVolumeMonitor(const SystemVolumeMonitor&) = delete;
    SystemVolumeMonitor& operator=(const SystemVolumeMonitor&) = delete;

    /// Receives each outside change, in percent.
    std::function<void(int)> onExternalVolumeChange;

    /// Begins listening; nothing when already active.
    void start();
    /// Stops listening and forgets the recorded percent; nothing when not active.
    void stop();
    /// The default output's volume in percent, or nothing.
    std::optional<int> readDeviceVolume();

    bool active() const { return active_; }
    std::uint32_t device() const { return device_; }
    std::optional<int> appAppliedPercent() const { return appAppliedPercent_; }
    /// Written by SystemAudio before each write (on the main thread).
    void setAppAppliedPercent(std::optional<int> percent) { appAppliedPercent_ = percent; }

private:
    void installVolumeListener();
    void removeVolumeListener();
    void volumeChanged();
    void defaultDeviceChanged();

    AudioControl& audio_;
    EventSink& events_;
    std::optional<int> appAppliedPercent_;
    std::uint32_t device_ = 0;
    Handle volumeListener_;
    Handle defaultDeviceListener_;
    bool active_ = false;
    Lifetime lifetime_;
};

} // namespace mirl
