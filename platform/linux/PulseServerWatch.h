#pragma once

#include <cstdint>

struct pa_context;

namespace mirl {

class PulseServerState;

// Keeps a PulseServerState in step with the server. Both run on the main loop thread with its lock
// held; `state` must outlive the context's pending requests.

/// A fresh connection: subscribes to sink, source, sink input and server events and asks for the
/// whole picture; `state` becomes ready when all of it has arrived.
void watchPulseServer(pa_context* context, PulseServerState& state);

/// A subscription event: drops what was removed, asks again for what is new or changed.
void onPulseServerEvent(pa_context* context, int facility, int type, std::uint32_t index,
                        PulseServerState& state);

} // namespace mirl
