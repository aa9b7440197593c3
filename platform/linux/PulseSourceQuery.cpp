#include "platform/linux/PulseSourceQuery.h"

#include <pulse/pulseaudio.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace mirl {

namespace {

// The answer the caller waits for; filled on the loop thread, shared with it.
struct SourceReply {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<PulseSourceFacts> facts;
};

void sourceInfoCallback(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto& reply = **static_cast<std::shared_ptr<SourceReply>*>(userdata);
    std::lock_guard lock(reply.mutex);
    if (eol == 0 && info != nullptr && !reply.facts) {
        reply.facts = PulseSourceFacts{
            info->name != nullptr ? info->name : "", info->description != nullptr ? info->description : "",
            info->monitor_of_sink != PA_INVALID_INDEX, info->sample_spec, info->channel_map};
    }
    if (eol != 0) {
        reply.finished = true;
        reply.done.notify_all();
    }
}

// Ends the wait also when the operation is cancelled (the connection went), and frees the holder.
void operationState(pa_operation* op, void* userdata) {
    if (pa_operation_get_state(op) == PA_OPERATION_RUNNING) {
        return;
    }
    auto* holder = static_cast<std::shared_ptr<SourceReply>*>(userdata);
    {
        std::lock_guard lock((*holder)->mutex);
        (*holder)->finished = true;
        (*holder)->done.notify_all();
    }
    delete holder;
}

} // namespace

std::optional<PulseSourceFacts> queryPulseSource(PulseConnection& connection, const std::string& name,
                                                 Duration wait) {
    auto reply = std::make_shared<SourceReply>();
    bool started = false;
    connection.locked([&](pa_context* context) {
        if (context == nullptr) {
            return;
        }
        auto* holder = new std::shared_ptr<SourceReply>(reply);
        pa_operation* op =
            pa_context_get_source_info_by_name(context, name.c_str(), sourceInfoCallback, holder);
        if (op == nullptr) {
            delete holder;
            return;
        }
        pa_operation_set_state_callback(op, operationState, holder);
        pa_operation_unref(op);
        started = true;
    });
    if (!started) {
        return std::nullopt;
    }
    std::unique_lock lock(reply->mutex);
    reply->done.wait_for(lock, wait, [&] { return reply->finished; });
    return reply->facts;
}

} // namespace mirl
