#pragma once

#include <mutex>

namespace mirl::classifier {

/// FFTW's planner is not thread-safe while plan execution is: every plan creation and
/// destruction in the detection layer holds this lock.
std::mutex& fftwPlanLock();

} // namespace mirl::classifier
