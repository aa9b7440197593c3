#pragma once

#include <cstdint>
#include <vector>

namespace mirl::test {

/// The volume of the test environment's sink "spk" in percent, read with pactl; -1 when pactl
/// gives none.
int sinkVolume();

/// Sets the volume of the sink "spk" with pactl.
void setSinkVolume(int percent);

/// The red gamma ramp of the X display's first CRTC that has one; empty without a display.
std::vector<std::uint16_t> redRamp();

} // namespace mirl::test
