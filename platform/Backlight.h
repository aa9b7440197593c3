#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mirl {

/// One display's level, under an identifier that stays the same from one launch to the next
/// ("backlight:intel_backlight", "ddc:DEL-DELL U2415-ABC123").
struct DisplayLevel {
    std::string id;
    float level = 0;
    bool operator==(const DisplayLevel&) const = default;
};

/// Hardware brightness of the displays on a 0..1 scale of each device's range.
///
/// Thread rule: main thread. Implementations never block it for long: slow devices (DDC/CI)
/// answer reads from a cache and write on a worker.
class Backlight {
public:
    virtual ~Backlight() = default;
    /// The level of the first display that answers; nothing when none does.
    virtual std::optional<float> readLevel() = 0;
    /// Writes the level to every display. A device never goes below 1 % of its range, since 0
    /// turns some panels off. True when at least one display took the level.
    virtual bool writeLevel(float level) = 0;
    /// The level of every display that answers, in the order readLevel prefers them.
    virtual std::vector<DisplayLevel> readLevels() = 0;
    /// Writes each named display its own level and leaves the others alone (never below 1 % of
    /// the range, as writeLevel). Returns the identifiers of the displays that took their level;
    /// a display still being detected counts as taking it when it is found.
    virtual std::vector<std::string> writeLevels(const std::vector<DisplayLevel>& levels) = 0;
    /// How far a read may lie from a level just written to the display that answered the last
    /// read, with nobody touching it: one step of its range (a panel with 7 levels cannot
    /// show 0.42), or more where the device is known to round coarser than its range says.
    /// 0 when nothing is known.
    virtual double levelStep() { return 0; }
};

/// The raw device value for a level on a device whose range is 0..maxRaw: rounded, and never
/// below 1 % of the range (at least 1).
long long backlightRawValue(float level, long long maxRaw);

} // namespace mirl
