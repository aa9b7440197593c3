#pragma once

#include <nlohmann/json.hpp>

#include <string_view>

namespace mirl {

/// A session event's payload: a JSON object from key to value.
using EventPayload = nlohmann::json;

/// Where components write their session events. SessionLogger is the real one; tests use
/// RecordingEventSink.
/// Thread rule: log() is called on the main thread (emitters on other threads post first);
/// implementations nevertheless accept calls from any thread.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void log(std::string_view event, const EventPayload& payload = EventPayload::object()) = 0;
};

} // namespace mirl
