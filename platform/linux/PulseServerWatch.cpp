#include "platform/linux/PulseServerWatch.h"

#include "platform/linux/PulseServerState.h"

#include <pulse/pulseaudio.h>
#include <unistd.h>

#include <cstdlib>

namespace mirl {

namespace {

constexpr int kInitialLists = 4; // server info, sinks, sources, sink inputs

std::string text(const char* s) {
    return s != nullptr ? s : "";
}

PulseServerState& stateOf(void* userdata) {
    return *static_cast<PulseServerState*>(userdata);
}

void unrefOperation(pa_operation* op) {
    if (op != nullptr) {
        pa_operation_unref(op);
    }
}

void serverInfoCallback(pa_context*, const pa_server_info* info, void* userdata) {
    if (info != nullptr) {
        stateOf(userdata).updateServer(text(info->server_name), text(info->server_version),
                                       text(info->default_sink_name), text(info->default_source_name));
    }
}

void initialServerInfoCallback(pa_context* c, const pa_server_info* info, void* userdata) {
    serverInfoCallback(c, info, userdata);
    stateOf(userdata).listDone();
}

void sinkCallback(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    if (eol == 0 && info != nullptr) {
        PulseServerState::Sink sink;
        sink.name = text(info->name);
        sink.description = text(info->description);
        sink.channelVolumes.assign(info->volume.values, info->volume.values + info->volume.channels);
        sink.running = info->state == PA_SINK_RUNNING;
        stateOf(userdata).updateSink(info->index, sink);
    }
}

void sourceCallback(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    if (eol == 0 && info != nullptr) {
        stateOf(userdata).updateSource(info->index, {text(info->name), text(info->description),
                                                     info->monitor_of_sink != PA_INVALID_INDEX});
    }
}

void sinkInputCallback(pa_context*, const pa_sink_input_info* info, int eol, void* userdata) {
    if (eol == 0 && info != nullptr) {
        const char* pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
        const bool ours = pid != nullptr && std::atol(pid) == static_cast<long>(::getpid());
        stateOf(userdata).updateSinkInput(info->index, {info->sink, info->corked != 0, ours});
    }
}

// One of the initial lists: each entry as an update, then the list counts as done.
template <class Info, void (*Each)(pa_context*, const Info*, int, void*)>
void listCallback(pa_context* c, const Info* info, int eol, void* userdata) {
    Each(c, info, eol, userdata);
    if (eol != 0) {
        stateOf(userdata).listDone();
    }
}

} // namespace

void watchPulseServer(pa_context* context, PulseServerState& state) {
    state.reset(kInitialLists);
    const auto mask =
        static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE |
                                            PA_SUBSCRIPTION_MASK_SINK_INPUT | PA_SUBSCRIPTION_MASK_SERVER);
    void* userdata = &state;
    unrefOperation(pa_context_subscribe(context, mask, nullptr, nullptr));
    unrefOperation(pa_context_get_server_info(context, initialServerInfoCallback, userdata));
    unrefOperation(
        pa_context_get_sink_info_list(context, listCallback<pa_sink_info, sinkCallback>, userdata));
    unrefOperation(
        pa_context_get_source_info_list(context, listCallback<pa_source_info, sourceCallback>, userdata));
    unrefOperation(pa_context_get_sink_input_info_list(
        context, listCallback<pa_sink_input_info, sinkInputCallback>, userdata));
}

void onPulseServerEvent(pa_context* context, int facility, int type, std::uint32_t index,
                        PulseServerState& state) {
    const bool removed = type == PA_SUBSCRIPTION_EVENT_REMOVE;
    void* userdata = &state;
    switch (facility) {
    case PA_SUBSCRIPTION_EVENT_SINK:
        if (removed) {
            state.removeSink(index);
        } else {
            unrefOperation(pa_context_get_sink_info_by_index(context, index, sinkCallback, userdata));
        }
        break;
    case PA_SUBSCRIPTION_EVENT_SOURCE:
        if (removed) {
            state.removeSource(index);
        } else {
            unrefOperation(pa_context_get_source_info_by_index(context, index, sourceCallback, userdata));
        }
        break;
    case PA_SUBSCRIPTION_EVENT_SINK_INPUT:
        if (removed) {
            state.removeSinkInput(index);
        } else {
            unrefOperation(pa_context_get_sink_input_info(context, index, sinkInputCallback, userdata));
        }
        break;
    case PA_SUBSCRIPTION_EVENT_SERVER:
        unrefOperation(pa_context_get_server_info(context, serverInfoCallback, userdata));
        break;
    default:
        break;
    }
}

} // namespace mirl
