#pragma once

#include "runtime/Clock.h"
#include "runtime/Scheduler.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace mirl {

/// Scheduler and clock on virtual time, for tests and the simulator. Time moves only in
/// advance()/advanceTo(); tasks run on the calling thread in due order, ties in the order
/// they were registered. post() is safe from any thread: the task runs at the next
/// runDue() or advance on the driving thread.
class VirtualScheduler final : public Scheduler, public Clock {
public:
    /// 2026-12-05 22:00:00 UTC unless told otherwise.
    static TimePoint defaultStart();

    explicit VirtualScheduler(TimePoint start = defaultStart());
    ~VirtualScheduler() override;

    TimePoint now() const override;
    void post(Task task) override;
    [[nodiscard]] Handle after(Duration delay, Task task) override;
    [[nodiscard]] Handle every(Duration period, Task task) override;

    /// Moves time forward by d (or to t), running every task that falls due on the way; each
    /// task sees now() equal to its due time.
    void advance(Duration d);
    void advanceTo(TimePoint t);
    /// Runs everything due now, including tasks posted meanwhile.
    void runDue() { advance(Duration::zero()); }
    /// The computer sleeps for d: the clock moves on without running anything, and every
    /// waiting task falls due d later, as monotonic timers do across a system suspend.
    void sleepThrough(Duration d);

    /// When the earliest waiting task falls due; nothing when none waits.
    std::optional<TimePoint> nextDue() const;
    /// Timers and posted tasks still waiting (cancelled ones excluded).
    std::size_t pendingCount() const;

private:
    struct State;
    struct Entry {
        Duration period; // zero for one-shot tasks
        std::shared_ptr<State> state;
    };
    using Key = std::pair<TimePoint, std::uint64_t>;

    Handle schedule(TimePoint due, Duration period, Task task);

    mutable std::mutex mutex_;
    TimePoint now_;
    std::uint64_t nextSeq_ = 0;
    std::map<Key, Entry> queue_;
};

} // namespace mirl
