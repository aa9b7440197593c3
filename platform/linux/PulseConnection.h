#pragma once

#include "runtime/Duration.h"

#include <cstdint>
#include <functional>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_operation;
struct pa_time_event;

namespace mirl {

/// A libpulse connection on its own threaded main loop, kept alive: when the server goes away
/// (or is not there yet) a new connection is tried every second.
///
/// The handlers run on the main loop thread with its lock held.
class PulseConnection {
public:
    struct Handlers {
        std::function<void(pa_context*)> ready; // connected; subscribe and ask for the picture
        std::function<void()> lost;             // the connection failed or ended
        std::function<void(pa_context*, int facility, int type, std::uint32_t index)> event;
    };
    using SuccessCallback = void (*)(pa_context*, int success, void* userdata);
    /// Starts an operation reporting to `callback` with `userdata`; returns it, or null.
    using Start = std::function<pa_operation*(pa_context*, SuccessCallback callback, void* userdata)>;

    /// Starts the main loop (its thread named `threadName`) and the first connection attempt.
    explicit PulseConnection(Handlers handlers, const char* threadName = "Mirl.pulse");
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    /// False when the main loop could not be started; nothing will ever connect then.
    bool running() const { return loop_ != nullptr; }

    /// Starts an operation under the loop lock while connected and waits up to `wait` for it to
    /// report success. False when not connected, the operation fails, or it takes too long.
    bool runAndWait(const Start& start, Duration wait);

    /// Runs `f` on the calling thread with the loop lock held, passing the context while
    /// connected and null otherwise. Never call it from a handler (the lock is held there).
    void locked(const std::function<void(pa_context*)>& f);

    // The main loop's side; public only for the C callbacks.
    void onContextState();
    void onSubscription(int facility, int type, std::uint32_t index);
    void onRetry();

private:
    void connect();       // on the main loop thread (or with its lock)
    void dropContext();   // disconnects and forgets the context, if any
    void scheduleRetry(); // a new connection in a second

    Handlers handlers_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_time_event* retry_ = nullptr;
};

} // namespace mirl
