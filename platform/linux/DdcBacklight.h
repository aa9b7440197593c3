#pragma once

#include "platform/Backlight.h"
#include "runtime/SerialQueue.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace mirl {

/// External monitors through DDC/CI (libddcutil, VCP feature 0x10, brightness). DDC is slow
/// (tens to hundreds of milliseconds per exchange), so everything touching the bus runs on the
/// worker "Mirl.DDC": monitors are detected once, at construction; reads answer from the levels
/// last seen and ask the worker to look again; writes are coalesced, only the newest level
/// waiting is written. A write made before detection ends (the restore at launch) waits for it.
///
/// Thread rule: readLevel/writeLevel/monitors on the main thread; the worker owns the
/// libddcutil calls; the two meet in the fields under mutex_. The destructor lets a write
/// already asked for finish (the level put back at quit reaches the monitors).
class DdcBacklight final : public Backlight {
public:
    struct Monitor {
        std::string model;
        int maxRaw = 0;
        int currentRaw = 0;
    };

    DdcBacklight();
    ~DdcBacklight() override;

    std::optional<float> readLevel() override;
    bool writeLevel(float level) override;

    /// The monitors found so far (empty until detection ends).
    std::vector<Monitor> monitors() const;
    /// False when libddcutil could not be loaded (then there are never monitors).
    bool libraryLoaded() const;
    /// Blocks until detection and the work asked for so far are done (diagnostics, tests).
    void waitIdle() { queue_.waitIdle(); }

private:
    struct Api;
    struct Entry;
    void detect();
    void refresh();
    void writePending();

    mutable std::mutex mutex_;
    std::vector<Monitor> monitors_;               // guarded by mutex_
    std::optional<float> pendingLevel_;           // guarded by mutex_
    bool detected_ = false;                       // guarded by mutex_; a write before it waits for detection
    bool writeQueued_ = false;                    // guarded by mutex_
    bool refreshQueued_ = false;                  // guarded by mutex_
    std::unique_ptr<Api> api_;                    // set in the constructor, then read-only
    std::vector<std::shared_ptr<Entry>> entries_; // worker only
    SerialQueue queue_{"Mirl.DDC"};               // last, so that it drains before the rest goes
};

} // namespace mirl
