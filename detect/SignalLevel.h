#pragma once

#include <span>

namespace mirl {

/// Mean of the squares of the samples, 0 for none. Summed in double (eight independent lanes,
/// so the loop vectorises), returned in single precision.
float meanSquare(std::span<const float> samples);

/// Square root, in single precision, of meanSquare(): the level of a block or a buffer.
float rootMeanSquare(std::span<const float> samples);

} // namespace mirl
