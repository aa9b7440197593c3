#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mirl {

/// The monitors' DDC/CI brightness (VCP feature 0x10). Every call is slow and runs on the DDC
/// worker only.
class DdcBus {
public:
    struct Found {
        std::string model;
        int maxRaw = 0;
        int currentRaw = 0;
        /// Stays the same from one launch to the next: manufacturer, model and serial number,
        /// or the I2C bus when the monitor gives no serial number. Empty: the model and its
        /// place in the list stand in.
        std::string id;
    };

    virtual ~DdcBus() = default;
    /// False when the bus cannot be used at all (no libddcutil).
    virtual bool available() const = 0;
    /// The monitors that answer, each with its brightness range; indexes below refer to it.
    virtual std::vector<Found> detect() = 0;
    virtual std::optional<int> read(std::size_t monitor) = 0;
    virtual bool write(std::size_t monitor, int raw) = 0;
};

/// The bus through libddcutil, loaded at run time: a machine without it simply has no DDC
/// monitors, and the notes its initialisation prints on standard output (missing drm folders
/// in containers) are kept out of Mirl's output.
std::unique_ptr<DdcBus> openLibddcutilBus();

} // namespace mirl
