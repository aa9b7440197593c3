#pragma once

#include <mutex>

namespace mirl {

/// FFTW's planner is not thread-safe while plan execution is: every plan creation and
/// destruction in the process (the sound classifier, the recording analysis) holds this lock.
std::mutex& fftwPlanLock();

} // namespace mirl
