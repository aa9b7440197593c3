#include "fade/SystemAudio.h"

#include <algorithm>
#include <future>

namespace mirl {

SystemAudio::SystemAudio(AudioControl& audio, SystemVolumeMonitor& monitor, Scheduler& mainThread,
                         EventSink& events, std::thread::id mainThreadId)
    : audio_(audio), monitor_(monitor), mainThread_(mainThread), events_(events),
      mainThreadId_(mainThreadId) {}

int SystemAudio::currentVolume() {
    const std::uint32_t device = audio_.defaultOutputDevice();
    if (device == 0) {
        return unreadableVolume;
    }
    return audio_.deviceVolume(device).value_or(unreadableVolume);
}

bool SystemAudio::setVolume(int percent, std::string_view source, std::optional<int> initial,
                            std::optional<int> target) {
    const int p = std::clamp(percent, 0, 100);
    const bool onMain = std::this_thread::get_id() == mainThreadId_;
    // The record goes in before the write, so that the echo of this very write finds it.
    if (onMain) {
        monitor_.setAppAppliedPercent(p);
    } else {
        std::promise<void> recorded;
        auto done = recorded.get_future();
        mainThread_.post([this, p, &recorded] {
            monitor_.setAppAppliedPercent(p);
            recorded.set_value();
        });
        done.wait();
    }
    const bool set = audio_.setOutputVolume(p);

    EventPayload payload{{"value", static_cast<long long>(p)}, {"source", std::string(source)}};
    if (initial) {
        payload["initial"] = static_cast<long long>(*initial);
    }
    if (target) {
        payload["target"] = static_cast<long long>(*target);
    }
    // The record goes to the main thread's queue without waiting, also from the main thread:
    // it follows whatever the caller logs in the same turn (a restore's "baseline_restored").
    mainThread_.post([&events = events_, payload] { events.log("volume_applied", payload); });
    return set;
}

} // namespace mirl
