#pragma once

#include "runtime/Clock.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <string_view>

namespace mirl::sim {

/// What the simulated machine went through, channel by channel ("volume_writes",
/// "backlight", ...), each entry stamped with "t", the virtual seconds since the start.
/// Entries go to one scratch file per channel as they come, so that a night of records does
/// not pile up in memory; writeChannels() copies them out and the scratch files go with the
/// recorder.
/// Thread rule: main thread.
class SimRecorder {
public:
    SimRecorder(const Clock& clock, TimePoint start, std::filesystem::path scratchFolder);
    ~SimRecorder();
    SimRecorder(const SimRecorder&) = delete;
    SimRecorder& operator=(const SimRecorder&) = delete;

    /// Seconds since the start, now.
    double elapsed() const;
    void add(std::string_view channel, nlohmann::json entry);
    /// Entries recorded on channel so far.
    std::size_t count(std::string_view channel) const;
    /// Writes `"channel": [entries...]` for every channel in name order, comma-separated,
    /// with the given indentation (as a fragment of a JSON object).
    void writeChannels(std::ostream& out, const std::string& indent);

private:
    struct Channel {
        std::FILE* file = nullptr;
        std::size_t entries = 0;
    };

    const Clock& clock_;
    TimePoint start_;
    std::filesystem::path folder_;
    std::map<std::string, Channel, std::less<>> channels_;
};

} // namespace mirl::sim
