#pragma once

#include <functional>

namespace mirl {

/// Somewhere to run work off the main thread, in submission order.
class Executor {
public:
    using Task = std::function<void()>;
    virtual ~Executor() = default;
    /// Safe from any thread.
    virtual void submit(Task task) = 0;
};

/// Runs each task at once on the submitting thread; for tests.
class InlineExecutor final : public Executor {
public:
    void submit(Task task) override { task(); }
};

} // namespace mirl
