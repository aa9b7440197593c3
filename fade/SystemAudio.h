#pragma once

#include "fade/SystemVolumeMonitor.h"
#include "journal/EventSink.h"
#include "platform/AudioControl.h"
#include "platform/SystemVolume.h"
#include "runtime/Scheduler.h"

#include <thread>

namespace mirl {

/// The system output volume through the sound server. Reads answer 50 when nothing can be
/// read; writes are clamped to 0..100, recorded with the monitor before they are made (so that
/// the monitor recognises their echo) and logged as "volume_applied" whether or not they worked
/// (the caller learns which from the result);
/// that record is posted to the main thread, so it comes after what the caller logs next.
/// Thread rule: any thread. A caller off the main thread waits while the main thread records
/// the write, so it must not hold anything the main thread needs.
class SystemAudio final : public SystemVolume {
public:
    static constexpr int unreadableVolume = 50;

    /// Must be constructed on the main thread (or be given its id).
    SystemAudio(AudioControl& audio, SystemVolumeMonitor& monitor, Scheduler& mainThread, EventSink& events,
                std::thread::id mainThreadId = std::this_thread::get_id());

    int currentVolume() override;
    bool setVolume(int percent, std::string_view source, std::optional<int> initial = std::nullopt,
                   std::optional<int> target = std::nullopt) override;
    Handle listenToDefaultOutput(std::function<void()> listener) override {
        return audio_.listenToDefaultOutput(std::move(listener));
    }

private:
    AudioControl& audio_;
    SystemVolumeMonitor& monitor_;
    Scheduler& mainThread_;
    EventSink& events_;
    std::thread::id mainThreadId_;
};

} // namespace mirl
