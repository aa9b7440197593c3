#pragma once

#include "platform/AudioControl.h"
#include "runtime/Duration.h"
#include "runtime/Scheduler.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace mirl {

/// Device ids handed out are the server's indexes plus one, so that 0 can mean "none".
inline std::uint32_t pulseIdOf(std::uint32_t index) {
    return index + 1;
}
inline std::uint32_t pulseIndexOf(std::uint32_t id) {
    return id - 1;
}

/// The copy of a sound server's sinks, sources, sink inputs and defaults, and the listeners that
/// hear about its changes.
///
/// The main loop thread feeds it (`reset`, `listDone`, `updateSink`, ...); any thread reads it
/// through `read`. Listeners are called on `mainThread`, coalesced: several changes before the
/// main thread runs make one call.
class PulseServerState {
public:
    using Listener = AudioControl::Listener;

    struct Sink {
        std::string name, description;
        std::vector<std::uint32_t> channelVolumes; // pa_volume_t per channel
        bool running = false;
    };
    struct Source {
        std::string name, description;
        bool monitor = false;
    };
    struct SinkInput {
        std::uint32_t sink = 0;
        bool corked = false;
        bool ours = false;
    };
    struct Model {
        bool ready = false;
        int pendingLists = 0; // initial list requests still out
        std::string server, version, defaultSink, defaultSource;
        std::map<std::uint32_t, Sink> sinks;     // by pulse index
        std::map<std::uint32_t, Source> sources; // by pulse index
        std::map<std::uint32_t, SinkInput> inputs;
    };

    explicit PulseServerState(Scheduler& mainThread);

    /// Runs `f(const Model&)` under the state's lock and returns what it returns.
    template <class F> auto read(F f) const {
        std::lock_guard lock(shared_->mutex);
        return f(std::as_const(shared_->model));
    }
    /// Waits up to `wait` for the first complete picture; true once there is one.
    bool waitReady(Duration wait);

    /// The id of the default sink, 0 when there is none or the picture is not complete.
    static std::uint32_t defaultOutputId(const Model& model);

    // ---- Fed by the main loop thread ----
    void reset(int pendingLists); // a fresh connection: forget everything, expect that many lists
    void lost();                  // the connection is gone
    void listDone();              // one initial list is complete
    void updateServer(const std::string& server, const std::string& version, const std::string& sink,
                      const std::string& source);
    void updateSink(std::uint32_t index, const Sink& sink);
    void updateSource(std::uint32_t index, const Source& source);
    void updateSinkInput(std::uint32_t index, const SinkInput& input);
    void removeSink(std::uint32_t index);
    void removeSource(std::uint32_t index);
    void removeSinkInput(std::uint32_t index);
    /// A default source set by us: takes it without waiting for the server's echo.
    void adoptDefaultSource(const std::string& name);

    // ---- Listeners ----
    AudioControl::Listening listenToVolume(std::uint32_t device, Listener listener);
    Handle listenToDefaultOutput(Listener listener);
    Handle listenToInputs(Listener listener);

private:
    // The model and listeners, outliving calls posted to the main thread.
    struct Shared {
        mutable std::mutex mutex;
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

    void publishDefaults(); // compare the default output with what listeners last heard
    void notifyVolume(std::uint32_t device);
    void notifyInputs();
    // Posts a call that takes, under the lock, the listeners `collect` picks and calls them.
    void deliver(std::function<std::vector<Listener>(Shared&)> collect);
    Handle addListener(std::map<int, Listener> Shared::*listeners, Listener listener);

    Scheduler& mainThread_;
    std::shared_ptr<Shared> shared_;
};

} // namespace mirl
