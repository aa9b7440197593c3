#include "platform/linux/DdcBacklight.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace mirl {

DdcBacklight::DdcBacklight(std::unique_ptr<DdcBus> bus)
    : bus_(std::move(bus)), available_(bus_->available()) {
    if (available_)
        queue_.submit([this] { detect(); });
    else
        detected_ = true;
}

DdcBacklight::~DdcBacklight() {
    queue_.waitIdle();
}

void DdcBacklight::detect() {
    auto found = bus_->detect();
    std::lock_guard lock(mutex_);
    monitors_ = std::move(found);
    rounding_.assign(monitors_.size(), {});
    detected_ = true;
}

std::optional<float> DdcBacklight::readLevel() {
    std::optional<float> level;
    {
        std::lock_guard lock(mutex_);
        if (monitors_.empty())
            return std::nullopt;
        level =
            static_cast<float>(static_cast<double>(monitors_.front().currentRaw) / monitors_.front().maxRaw);
        if (refreshQueued_)
            return level;
        refreshQueued_ = true;
    }
    queue_.submit([this] { refresh(); });
    return level;
}

void DdcBacklight::refresh() {
    std::size_t count = 0;
    {
        std::lock_guard lock(mutex_);
        refreshQueued_ = false;
        count = monitors_.size();
    }
    for (std::size_t i = 0; i < count; ++i) {
        const auto raw = bus_->read(i);
        std::lock_guard lock(mutex_);
        if (!raw)
            continue;
        monitors_[i].currentRaw = *raw;
        Rounding& r = rounding_[i];
        if (r.written) {
            const int off = std::abs(*raw - *r.written);
            if (off * 10 <= monitors_[i].maxRaw)
                r.seen = std::max(r.seen, off);
            r.written.reset();
        }
    }
}

double DdcBacklight::levelStep() {
    std::lock_guard lock(mutex_);
    if (monitors_.empty() || monitors_.front().maxRaw <= 0)
        return 0;
    return static_cast<double>(std::max(1, rounding_.front().seen)) / monitors_.front().maxRaw;
}

bool DdcBacklight::writeLevel(float level) {
    {
        std::lock_guard lock(mutex_);
        if (detected_ && monitors_.empty())
            return false;
        pendingLevel_ = level;
        if (writeQueued_)
            return true; // the queued write will take the newest level
        writeQueued_ = true;
    }
    queue_.submit([this] { writePending(); });
    return true;
}

void DdcBacklight::writePending() {
    std::optional<float> level;
    std::vector<int> maxima;
    {
        std::lock_guard lock(mutex_);
        level = std::exchange(pendingLevel_, std::nullopt);
        writeQueued_ = false;
        for (const Monitor& m : monitors_)
            maxima.push_back(m.maxRaw);
    }
    if (!level)
        return;
    for (std::size_t i = 0; i < maxima.size(); ++i) {
        const auto raw = static_cast<int>(backlightRawValue(*level, maxima[i]));
        const bool ok = bus_->write(i, raw);
        std::lock_guard lock(mutex_);
        if (ok) {
            monitors_[i].currentRaw = raw;
            rounding_[i].written = raw;
        }
    }
}

std::vector<DdcBacklight::Monitor> DdcBacklight::monitors() const {
    std::lock_guard lock(mutex_);
    return monitors_;
}

} // namespace mirl
