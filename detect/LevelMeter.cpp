#include "detect/LevelMeter.h"

#include "detect/SignalLevel.h"

namespace mirl {

LevelMeter::LevelMeter(Scheduler& mainThread) : mainThread_(mainThread) {}

void LevelMeter::process(const CapturedBuffer& buffer) {
    if (!buffer.hasFloatData())
        return;
    const double level = rootMeanSquare(buffer.samples());
    mainThread_.post(lifetime_.guard([this, level] { add(level); }));
}

void LevelMeter::add(double level) {
    accumulator_ += level;
    ++count_;
}

LevelMeter::Report LevelMeter::takeReport() {
    Report r{count_ >= 1 ? accumulator_ / static_cast<double>(count_) : 0.0, count_};
    reset();
    return r;
}

void LevelMeter::reset() {
    accumulator_ = 0;
    count_ = 0;
}

} // namespace mirl
