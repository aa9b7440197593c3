#pragma once

#include "platform/linux/PulseConnection.h"
#include "runtime/Duration.h"

#include <pulse/channelmap.h>
#include <pulse/sample.h>

#include <optional>
#include <string>

namespace mirl {

/// What the sound server says of one source.
struct PulseSourceFacts {
    std::string name, description;
    bool monitor = false; // the monitor of an output, not a microphone
    pa_sample_spec spec{};
    pa_channel_map map{};
};

/// Asks the server about the source `name` ("@DEFAULT_SOURCE@" for the default one) and waits up
/// to `wait` for the answer. Nothing when not connected, no such source, or no answer in time.
/// Call it from any thread but the connection's main loop.
std::optional<PulseSourceFacts> queryPulseSource(PulseConnection& connection, const std::string& name,
                                                 Duration wait);

} // namespace mirl
