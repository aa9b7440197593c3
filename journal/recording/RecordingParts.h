#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace mirl {

/// The naming rule of a recording's parts. Part 1 is the recording itself; part n (2, 3, ...) lies
/// beside it with "-part" and n in decimal before the extension: audio-2026-12-05-2253.m4a, then
/// audio-2026-12-05-2253-part2.m4a, audio-2026-12-05-2253-part3.m4a, ... The recorder names its
/// parts with it and the review finds them with it.

/// The location of part `part` (1 or more) of `recording`.
std::filesystem::path recordingPartPath(const std::filesystem::path& recording, int part);

/// The part number of `file` among the parts of `recording` (1 for the recording itself), as
/// recordingPartPath() writes it; nothing for any other name (another folder, "-part1",
/// "-part02", a number too large ...).
std::optional<int> recordingPartNumber(const std::filesystem::path& recording,
                                       const std::filesystem::path& file);

/// The files of one recording in playing order: the recording itself, then its later parts in
/// the order of their numbers (gaps allowed). Only files that exist are listed, the first one
/// included.
std::vector<std::filesystem::path> recordingParts(const std::filesystem::path& recording);

} // namespace mirl
