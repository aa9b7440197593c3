#pragma once

#include "runtime/Executor.h"

#include <future>

namespace mirl {

/// Runs task on the executor and blocks until it has run. Never call it from the executor's own
/// thread (a serial queue would wait for itself).
inline void runAndWait(Executor& executor, Executor::Task task) {
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    executor.submit([task = std::move(task), done] {
        task();
        done->set_value();
    });
    finished.wait();
}

} // namespace mirl
