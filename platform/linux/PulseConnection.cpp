#include "platform/linux/PulseConnection.h"

#include <pulse/pulseaudio.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace mirl {

namespace {

constexpr pa_usec_t kRetryDelay = 1000000;

PulseConnection* self(void* userdata) {
    return static_cast<PulseConnection*>(userdata);
}

void contextStateCallback(pa_context*, void* userdata) {
    self(userdata)->onContextState();
}

void subscribeCallback(pa_context*, pa_subscription_event_type_t type, std::uint32_t index, void* userdata) {
    self(userdata)->onSubscription(type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK,
                                   type & PA_SUBSCRIPTION_EVENT_TYPE_MASK, index);
}

void retryCallback(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
    self(userdata)->onRetry();
}

// An operation a caller waits for: success flag and completion, shared with the loop thread.
struct Waiter {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool ok = false;
};

void finish(const std::shared_ptr<Waiter>& waiter, bool ok) {
    std::lock_guard lock(waiter->mutex);
    waiter->ok = ok;
    waiter->finished = true;
    waiter->done.notify_all();
}

void onSuccess(pa_context*, int success, void* userdata) {
    finish(*static_cast<std::shared_ptr<Waiter>*>(userdata), success != 0);
}

void onOperationState(pa_operation* op, void* userdata) {
    const auto state = pa_operation_get_state(op);
    if (state == PA_OPERATION_RUNNING) {
        return;
    }
    auto* holder = static_cast<std::shared_ptr<Waiter>*>(userdata);
    if (state == PA_OPERATION_CANCELLED) {
        finish(*holder, false);
    }
    delete holder;
}

} // namespace

PulseConnection::PulseConnection(Handlers handlers, const char* threadName) : handlers_(std::move(handlers)) {
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) {
        return;
    }
    pa_threaded_mainloop_set_name(loop_, threadName);
    if (pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    connect();
    pa_threaded_mainloop_unlock(loop_);
}

PulseConnection::~PulseConnection() {
    if (loop_ == nullptr) {
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    if (retry_ != nullptr) {
        pa_threaded_mainloop_get_api(loop_)->time_free(retry_);
        retry_ = nullptr;
    }
    dropContext();
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

void PulseConnection::connect() {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Mirl");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "org.mirl.Mirl");
    context_ = pa_context_new_with_proplist(api, "Mirl", props);
    pa_proplist_free(props);
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, contextStateCallback, this);
        pa_context_set_subscribe_callback(context_, subscribeCallback, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
            return;
        }
    }
    scheduleRetry();
}

void PulseConnection::dropContext() {
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
}

void PulseConnection::scheduleRetry() {
    if (retry_ == nullptr) {
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
        timeval when{};
        pa_gettimeofday(&when);
        pa_timeval_add(&when, kRetryDelay);
        retry_ = api->time_new(api, &when, retryCallback, this);
    }
}

void PulseConnection::onRetry() {
    pa_threaded_mainloop_get_api(loop_)->time_free(retry_);
    retry_ = nullptr;
    dropContext();
    connect();
}

void PulseConnection::onContextState() {
    const auto state = pa_context_get_state(context_);
    if (state == PA_CONTEXT_READY) {
        handlers_.ready(context_);
    } else if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
        handlers_.lost();
        scheduleRetry();
    }
}

void PulseConnection::onSubscription(int facility, int type, std::uint32_t index) {
    handlers_.event(context_, facility, type, index);
}

bool PulseConnection::runAndWait(const Start& start, Duration wait) {
    if (loop_ == nullptr) {
        return false;
    }
    auto waiter = std::make_shared<Waiter>();
    pa_threaded_mainloop_lock(loop_);
    pa_operation* op = nullptr;
    if (context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY) {
        auto* holder = new std::shared_ptr<Waiter>(waiter);
        op = start(context_, onSuccess, holder);
        if (op == nullptr) {
            delete holder;
        } else {
            pa_operation_set_state_callback(op, onOperationState, holder);
            pa_operation_unref(op);
        }
    }
    pa_threaded_mainloop_unlock(loop_);
    if (op == nullptr) {
        return false;
    }
    std::unique_lock lock(waiter->mutex);
    waiter->done.wait_for(lock, wait, [&] { return waiter->finished; });
    return waiter->finished && waiter->ok;
}

void PulseConnection::locked(const std::function<void(pa_context*)>& f) {
    if (loop_ == nullptr) {
        f(nullptr);
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    const bool ready = context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY;
    f(ready ? context_ : nullptr);
    pa_threaded_mainloop_unlock(loop_);
}

} // namespace mirl
