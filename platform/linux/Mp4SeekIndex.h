#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace mirl {

/// A seek index for a fragmented MP4 recording, written in place when the recording closes.
///
/// A recording flushed every second holds one movie fragment per second, some 29,000 in a night.
/// Without an index a reader walks every fragment's header to learn where each second lies
/// before it can play anything. The writer therefore leaves room for an index: once the first
/// minute is on disk it writes a "free" box whose body is a hole in the file (no disk blocks on
/// the usual filesystems), and at a clean close it fills the end of that room with a segment
/// index ("sidx") that points at every later fragment. Readers that know the box (FFmpeg does)
/// then open a night as quickly as a nap and seek straight to the fragment they need.
///
/// The index is written inside the free box first and the box only shrinks to make it visible
/// at the very end (one four-byte write), so a recording killed at any moment stays what it was
/// without the index: readable, and only slower to open.
namespace mp4index {

/// Recordings shorter than this get no room for an index (short files open quickly anyway).
inline constexpr double kReserveAfterSeconds = 60;
/// The room left for the index: a free box large enough for a segment index of 65,535
/// fragments, the most one index box can count (18 hours of one-second fragments).
inline constexpr std::int64_t kMaxReferences = 65535;
inline constexpr std::int64_t kReserveBytes = 8 + 40 + 12 * kMaxReferences;

/// Scans the fragments that follow the room at `reserveOffset` (a free box of kReserveBytes)
/// up to the fragment random access box at the end (or the end of the file) and writes their
/// segment index into the end of the room. Nothing on success, else why the file was left
/// without an index (it is then unchanged). `timescale` is the track's time scale.
std::optional<std::string> writeSeekIndex(const std::filesystem::path& file, std::int64_t reserveOffset,
                                          std::uint32_t timescale);

} // namespace mp4index

} // namespace mirl
