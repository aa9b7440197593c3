#pragma once

#include "runtime/Executor.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace mirl {

/// A named worker thread that runs tasks one at a time in submission order.
///
/// Thread rule: submit() and waitIdle() from any thread but the worker itself. The destructor
/// runs what is already queued, then joins.
class SerialQueue final : public Executor {
public:
    explicit SerialQueue(std::string name);
    ~SerialQueue() override;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void submit(Task task) override;
    /// Blocks until every task submitted before the call has run.
    void waitIdle();
    const std::string& name() const { return name_; }

private:
    void run();

    std::string name_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Task> tasks_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace mirl
