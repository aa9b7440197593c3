#include "runtime/SerialQueue.h"

#include <pthread.h>

namespace mirl {

SerialQueue::SerialQueue(std::string name) : name_(std::move(name)) {
    thread_ = std::thread([this] { run(); });
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SerialQueue::submit(Task task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void SerialQueue::waitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return tasks_.empty() && !busy_; });
}

void SerialQueue::run() {
    // Linux limits thread names to 15 characters; keep the distinctive tail.
    std::string shortName = name_.size() > 15 ? name_.substr(name_.size() - 15) : name_;
    pthread_setname_np(pthread_self(), shortName.c_str());
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (tasks_.empty())
            break; // stopping and drained
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        busy_ = true;
        lock.unlock();
        task();
        task = nullptr;
        lock.lock();
        busy_ = false;
        if (tasks_.empty())
            idle_.notify_all();
    }
}

} // namespace mirl
