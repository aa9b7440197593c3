#pragma once

#include "journal/EventSink.h"

#include <mutex>
#include <string>
#include <vector>

namespace mirl::test {

/// Keeps every logged event in order.
class RecordingEventSink final : public EventSink {
public:
    struct Event {
        std::string name;
        EventPayload payload;
    };

    void log(std::string_view event, const EventPayload& payload = EventPayload::object()) override {
        std::lock_guard lock(mutex_);
        events_.push_back({std::string(event), payload});
    }
    std::vector<Event> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<std::string> names() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> out;
        for (const auto& e : events_)
            out.push_back(e.name);
        return out;
    }
    /// Events with this name, in order.
    std::vector<EventPayload> named(std::string_view name) const {
        std::lock_guard lock(mutex_);
        std::vector<EventPayload> out;
        for (const auto& e : events_)
            if (e.name == name)
                out.push_back(e.payload);
        return out;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
};

} // namespace mirl::test
