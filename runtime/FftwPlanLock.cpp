#include "runtime/FftwPlanLock.h"

namespace mirl {

std::mutex& fftwPlanLock() {
    // FFTW's planner state is itself process-wide; this lock only mirrors it.
    static std::mutex lock;
    return lock;
}

} // namespace mirl
