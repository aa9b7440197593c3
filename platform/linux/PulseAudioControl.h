#pragma once

#include "platform/AudioControl.h"
#include "platform/OutputPlaybackProbe.h"
#include "runtime/Scheduler.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_time_event;

namespace mirl {

/// AudioControl over libpulse (PulseAudio, or PipeWire's pulse server).
///
/// A threaded main loop keeps a copy of the server's sinks, sources, sink inputs and defaults,
/// refreshed by SINK, SOURCE, SINK_INPUT and SERVER subscription events; reads answer from it
/// at once. A lost connection is retried every second. Device ids are the server's indexes
/// plus one (0 means "none").
class PulseAudioControl final : public AudioControl, public OutputPlaybackProbe {
public:
    /// Connects and waits up to `connectWait` for the first picture of the server.
    explicit PulseAudioControl(Scheduler& mainThread, Duration connectWait = std::chrono::seconds(2));
    ~PulseAudioControl() override;
    PulseAudioControl(const PulseAudioControl&) = delete;
    PulseAudioControl& operator=(const PulseAudioControl&) = delete;

    std::optional<SoundServerInfo> serverInfo() override;
    std::uint32_t defaultOutputDevice() override;
    bool deviceHasVolume(std::uint32_t device) override;
    std::optional<int> deviceVolume(std::uint32_t device) override;
    void setOutputVolume(int percent) override;
    Listening listenToVolume(std::uint32_t device, Listener listener) override;
    Handle listenToDefaultOutput(Listener listener) override;
    Handle listenToInputs(Listener listener) override;
    std::vector<SoundDevice> inputDevices() override;
    std::uint32_t defaultInputDevice() override;
    bool setDefaultInputDevice(std::uint32_t device) override;
    bool isOutputPlaying() override;
    bool isOutputAudioPlaying() override { return isOutputPlaying(); }

    /// True while connected to a server.
    bool connected();

    // The rest is the main loop's side; public only for the C callbacks.
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
    struct Shared; // listeners and the model, outliving callbacks posted to the main thread

    void onContextState();
    void onSubscription(int facility, int type, std::uint32_t index);
    void onServerInfo(const char* server, const char* version, const char* sink, const char* source);
    void onSink(std::uint32_t index, const Sink& sink);
    void onSource(std::uint32_t index, const Source& source);
    void onSinkInput(std::uint32_t index, const SinkInput& input);
    void onListDone();
    void onRetry();

private:
    void connect();         // main loop thread (or locked)
    void scheduleRetry();   // a new connection in a second
    void publishDefaults(); // compare defaults with what listeners last heard
    void notifyVolume(std::uint32_t device);
    void notifyInputs();
    template <class F>
    bool runAndWait(F start); // starts an operation under the loop lock, waits for its success

    Scheduler& mainThread_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_time_event* retry_ = nullptr;
    std::shared_ptr<Shared> shared_;
};

} // namespace mirl
