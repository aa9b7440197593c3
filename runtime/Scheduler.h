#pragma once

#include "runtime/Duration.h"
#include "runtime/Handle.h"

#include <functional>

namespace mirl {

/// The main thread's run loop.
///
/// Thread rule: post() may be called from any thread; the task runs on the main thread.
/// after() and every() are called on the main thread, and their tasks run there. A task whose
/// handle has been cancelled or destroyed never runs again.
class Scheduler {
public:
    using Task = std::function<void()>;

    virtual ~Scheduler() = default;

    /// Runs task on the main thread as soon as it is idle, after tasks posted before it.
    virtual void post(Task task) = 0;

    /// Runs task once, delay from now.
    [[nodiscard]] virtual Handle after(Duration delay, Task task) = 0;

    /// Runs task every period, first one period from now.
    [[nodiscard]] virtual Handle every(Duration period, Task task) = 0;
};

} // namespace mirl
