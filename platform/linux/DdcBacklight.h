#pragma once

#include "platform/Backlight.h"
#include "platform/linux/DdcBus.h"
#include "runtime/SerialQueue.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace mirl {

/// External monitors through DDC/CI. DDC is slow (tens to hundreds of milliseconds per
/// exchange), so everything touching the bus runs on the worker "Mirl.DDC": monitors are
/// detected once, at construction; reads answer from the levels last seen and ask the worker to
/// look again; writes are coalesced, only the newest level waiting is written. A write made
/// before detection ends (the restore at launch) waits for it.
///
/// Some monitors keep fewer levels than the range they announce and answer a write with their
/// own nearest level: the first read after each write shows that rounding, which is learnt
/// (up to a tenth of the range; a larger difference is somebody's change) and widens the step.
///
/// Thread rule: readLevel/writeLevel/monitors on the main thread; the worker owns the bus; the
/// two meet in the fields under mutex_. The destructor lets the work already asked for finish
/// (the level put back at quit reaches the monitors).
class DdcBacklight final : public Backlight {
public:
    using Monitor = DdcBus::Found;

    explicit DdcBacklight(std::unique_ptr<DdcBus> bus = openLibddcutilBus());
    ~DdcBacklight() override;

    std::optional<float> readLevel() override;
    bool writeLevel(float level) override;
    /// Each monitor as "ddc:<its id>".
    std::vector<DisplayLevel> readLevels() override;
    std::vector<std::string> writeLevels(const std::vector<DisplayLevel>& levels) override;
    /// One raw step of the first monitor, or the rounding it was seen to do if that is larger.
    double levelStep() override;

    /// The monitors found so far (empty until detection ends), with their last seen levels.
    std::vector<Monitor> monitors() const;
    /// False when the bus cannot be used (libddcutil missing): there are never monitors then.
    bool libraryLoaded() const { return available_; }
    /// Blocks until detection and the work asked for so far are done (diagnostics, tests).
    void waitIdle() { queue_.waitIdle(); }

private:
    void detect();
    void refresh();
    /// Asks the worker for a refresh of the levels seen, unless one is queued. Under mutex_.
    bool refreshDueLocked();
    /// Asks the worker to write what is pending, unless a write is queued. Under mutex_.
    bool writeDueLocked();
    void writePending();

    std::unique_ptr<DdcBus> bus_; // used on the worker only
    const bool available_;
    mutable std::mutex mutex_;
    std::vector<Monitor> monitors_; // guarded by mutex_
    struct Rounding {
        std::optional<int> written; // the raw value written and not yet read back
        int seen = 0;               // the largest rounding seen, in raw units
    };
    std::vector<Rounding> rounding_;             // guarded by mutex_, one per monitor
    std::optional<float> pendingLevel_;          // for every monitor; guarded by mutex_
    std::map<std::string, float> pendingLevels_; // by monitor id, newer than pendingLevel_; guarded by mutex_
    bool detected_ = false;                      // guarded by mutex_
    bool writeQueued_ = false;                   // guarded by mutex_
    bool refreshQueued_ = false;                 // guarded by mutex_
    SerialQueue queue_{"Mirl.DDC"};              // last, so that it drains before the rest goes
};

} // namespace mirl
