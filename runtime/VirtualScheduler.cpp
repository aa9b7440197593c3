#include "runtime/VirtualScheduler.h"

#include <atomic>

namespace mirl {

struct VirtualScheduler::State {
    std::atomic<bool> cancelled{false};
    Task task;
};

TimePoint VirtualScheduler::defaultStart() {
    // 2026-12-05T22:00:00Z
    return TimePoint{} + std::chrono::seconds{1796508000};
}

VirtualScheduler::VirtualScheduler(TimePoint start) : now_(start) {}

VirtualScheduler::~VirtualScheduler() = default;

TimePoint VirtualScheduler::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void VirtualScheduler::post(Task task) {
    std::lock_guard lock(mutex_);
    auto state = std::make_shared<State>();
    state->task = std::move(task);
    queue_.emplace(Key{now_, nextSeq_++}, Entry{Duration::zero(), std::move(state)});
}

Handle VirtualScheduler::schedule(TimePoint due, Duration period, Task task) {
    auto state = std::make_shared<State>();
    state->task = std::move(task);
    {
        std::lock_guard lock(mutex_);
        queue_.emplace(Key{due, nextSeq_++}, Entry{period, state});
    }
    return Handle([weak = std::weak_ptr<State>(state)] {
        if (auto s = weak.lock())
            s->cancelled = true;
    });
}

Handle VirtualScheduler::after(Duration delay, Task task) {
    return schedule(addSaturating(now(), delay), Duration::zero(), std::move(task));
}

Handle VirtualScheduler::every(Duration period, Task task) {
    if (period <= Duration::zero())
        period = std::chrono::milliseconds(1);
    return schedule(addSaturating(now(), period), period, std::move(task));
}

void VirtualScheduler::advance(Duration d) {
    advanceTo(addSaturating(now(), d));
}

void VirtualScheduler::advanceTo(TimePoint target) {
    for (;;) {
        Entry entry;
        {
            std::lock_guard lock(mutex_);
            auto it = queue_.begin();
            if (it == queue_.end() || it->first.first > target)
                break;
            if (it->first.first > now_)
                now_ = it->first.first;
            entry = std::move(it->second);
            queue_.erase(it);
        }
        if (entry.state->cancelled)
            continue;
        entry.state->task();
        if (entry.period > Duration::zero() && !entry.state->cancelled) {
            std::lock_guard lock(mutex_);
            auto due = addSaturating(now_, entry.period);
            queue_.emplace(Key{due, nextSeq_++}, std::move(entry));
        }
    }
    std::lock_guard lock(mutex_);
    if (target > now_)
        now_ = target;
}

void VirtualScheduler::sleepThrough(Duration d) {
    if (d <= Duration::zero())
        return;
    const auto shift = std::chrono::duration_cast<TimePoint::duration>(d);
    std::lock_guard lock(mutex_);
    std::map<Key, Entry> shifted;
    for (auto& [key, entry] : queue_)
        shifted.emplace(Key{key.first + shift, key.second}, std::move(entry));
    queue_ = std::move(shifted);
    now_ += shift;
}

std::optional<TimePoint> VirtualScheduler::nextDue() const {
    std::lock_guard lock(mutex_);
    for (const auto& [key, entry] : queue_)
        if (!entry.state->cancelled)
            return key.first;
    return std::nullopt;
}

std::size_t VirtualScheduler::pendingCount() const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& [key, entry] : queue_)
        n += entry.state->cancelled ? 0 : 1;
    return n;
}

} // namespace mirl
