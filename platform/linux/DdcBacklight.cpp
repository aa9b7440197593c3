#include "platform/linux/DdcBacklight.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace mirl {

namespace {

float levelOf(const DdcBacklight::Monitor& m) {
    return static_cast<float>(static_cast<double>(m.currentRaw) / m.maxRaw);
}

bool isDdcId(const std::string& id) {
    return id.rfind("ddc:", 0) == 0;
}

} // namespace

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
    for (std::size_t i = 0; i < found.size(); ++i)
        found[i].id =
            "ddc:" + (found[i].id.empty() ? found[i].model + "-" + std::to_string(i + 1) : found[i].id);
    std::lock_guard lock(mutex_);
    monitors_ = std::move(found);
    rounding_.assign(monitors_.size(), {});
    detected_ = true;
}

bool DdcBacklight::refreshDueLocked() {
    if (refreshQueued_)
        return false;
    refreshQueued_ = true;
    return true;
}

std::optional<float> DdcBacklight::readLevel() {
    std::optional<float> level;
    bool refresh = false;
    {
        std::lock_guard lock(mutex_);
        if (monitors_.empty())
            return std::nullopt;
        level = levelOf(monitors_.front());
        refresh = refreshDueLocked();
    }
    if (refresh)
        queue_.submit([this] { this->refresh(); });
    return level;
}

std::vector<DisplayLevel> DdcBacklight::readLevels() {
    std::vector<DisplayLevel> levels;
    bool refresh = false;
    {
        std::lock_guard lock(mutex_);
        for (const Monitor& m : monitors_)
            levels.push_back({m.id, levelOf(m)});
        refresh = !monitors_.empty() && refreshDueLocked();
    }
    if (refresh)
        queue_.submit([this] { this->refresh(); });
    return levels;
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

bool DdcBacklight::writeDueLocked() {
    if (writeQueued_)
        return false; // the queued write will take the newest levels
    writeQueued_ = true;
    return true;
}

bool DdcBacklight::writeLevel(float level) {
    {
        std::lock_guard lock(mutex_);
        if (detected_ && monitors_.empty())
            return false;
        pendingLevel_ = level;
        pendingLevels_.clear();
        if (!writeDueLocked())
            return true;
    }
    queue_.submit([this] { writePending(); });
    return true;
}

std::vector<std::string> DdcBacklight::writeLevels(const std::vector<DisplayLevel>& levels) {
    std::vector<std::string> took;
    bool write = false;
    {
        std::lock_guard lock(mutex_);
        for (const DisplayLevel& wanted : levels) {
            // Before detection ends any monitor may still turn up under the id.
            const bool known = detected_ ? std::any_of(monitors_.begin(), monitors_.end(),
                                                       [&](const Monitor& m) { return m.id == wanted.id; })
                                         : isDdcId(wanted.id);
            if (!known)
                continue;
            pendingLevels_[wanted.id] = wanted.level;
            took.push_back(wanted.id);
        }
        write = !took.empty() && writeDueLocked();
    }
    if (write)
        queue_.submit([this] { writePending(); });
    return took;
}

void DdcBacklight::writePending() {
    std::vector<std::pair<std::size_t, int>> writes;
    {
        std::lock_guard lock(mutex_);
        const auto all = std::exchange(pendingLevel_, std::nullopt);
        const auto each = std::exchange(pendingLevels_, {});
        writeQueued_ = false;
        for (std::size_t i = 0; i < monitors_.size(); ++i) {
            const auto own = each.find(monitors_[i].id);
            if (own != each.end())
                writes.emplace_back(i, static_cast<int>(backlightRawValue(own->second, monitors_[i].maxRaw)));
            else if (all)
                writes.emplace_back(i, static_cast<int>(backlightRawValue(*all, monitors_[i].maxRaw)));
        }
    }
    for (const auto& [monitor, raw] : writes) {
        const bool ok = bus_->write(monitor, raw);
        std::lock_guard lock(mutex_);
        if (ok) {
            monitors_[monitor].currentRaw = raw;
            rounding_[monitor].written = raw;
        }
    }
}

std::vector<DdcBacklight::Monitor> DdcBacklight::monitors() const {
    std::lock_guard lock(mutex_);
    return monitors_;
}

} // namespace mirl
