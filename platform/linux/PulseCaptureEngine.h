#pragma once

#include "platform/CaptureEngine.h"
#include "platform/linux/PulseConnection.h"
#include "platform/linux/PulseSourceQuery.h"
#include "runtime/Scheduler.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct pa_stream;

namespace mirl {

/// CaptureEngine over libpulse: a float32 record stream on the system's default source (never a
/// monitor of an output), in the source's own rate and channels, with ~50 ms fragments
/// (PA_STREAM_ADJUST_LATENCY, or PulseAudio hands over 2-second chunks) re-blocked into
/// 8192-frame buffers; the capture time stamp is the running frame count. Its own connection is
/// kept alive (retried every second while the server is away) and subscribed to server changes:
/// another default source, the stream moved or ended by the server, the server lost and back.
///
/// Thread rule: the stream, the block being filled and the tap belong to the libpulse main loop
/// thread (the capture thread) and are touched elsewhere only with the loop lock held, so after
/// removeTap() or stop() returns no tap call is running or will run. The last default source
/// name and the connection flags are loop-thread state too; start() and the queries wait for the
/// loop on a condition variable, never holding the lock while they wait. Change callbacks are
/// posted to the main thread and live in a shared registry that the posted calls hold weakly.
class PulseCaptureEngine final : public CaptureEngine {
public:
    explicit PulseCaptureEngine(Scheduler& mainThread);
    ~PulseCaptureEngine() override;
    PulseCaptureEngine(const PulseCaptureEngine&) = delete;
    PulseCaptureEngine& operator=(const PulseCaptureEngine&) = delete;

    CaptureFormat tapFormat() override;
    std::optional<CaptureSource> currentSource() override;
    std::optional<std::string> installTap(Tap tap) override;
    void removeTap() override;
    std::optional<std::string> start() override;
    void stop() override;
    void reset() override { stop(); }
    bool isRunning() const override { return running_; }
    [[nodiscard]] Handle watchChanges(ChangeCallback callback) override;

    // The main loop's side; public only for the C callbacks.
    void onStreamState();
    void onRead();
    void onMoved();
    void onServerInfo(const char* defaultSource);

private:
    struct Watchers;

    void onReady(pa_context* context);
    void onLost();
    void onEvent(pa_context* context, int facility, int type);
    void announce(CaptureChange change);
    bool waitConnected();
    std::optional<PulseSourceFacts> querySource(const std::string& name);
    void dropStream(); // with the loop lock held
    void deliver();    // a full block to the tap, on the loop thread

    Scheduler& mainThread_;
    std::shared_ptr<Watchers> watchers_;

    // Loop thread (or the loop lock):
    pa_stream* stream_ = nullptr;
    Tap tap_;
    CaptureFormat format_;
    std::vector<float> block_;
    std::size_t blockFrames_ = 0;
    std::int64_t sampleTime_ = 0;
    bool stopping_ = false;
    std::string defaultSource_;
    bool lostSinceReady_ = false;

    std::mutex stateMutex_;
    std::condition_variable stateChanged_; // connection or stream state moved
    bool connected_ = false;               // under stateMutex_
    bool firstAttemptDone_ = false;        // under stateMutex_: the first connection answered
    std::uint64_t streamChanges_ = 0;      // under stateMutex_: stream state callbacks so far
    std::atomic<bool> running_{false};

    PulseConnection connection_; // last: stopped first, before the state above goes
};

} // namespace mirl
