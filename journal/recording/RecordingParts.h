#pragma once

#include <filesystem>
#include <vector>

namespace mirl {

/// The files of one recording in playing order: the recording itself, then the parts the
/// recorder started after a pipeline rebuild, "<name>-part2<ext>", "<name>-part3<ext>", ...
/// in the order of their numbers (gaps allowed). Only files that exist are listed, the first
/// one included.
std::vector<std::filesystem::path> recordingParts(const std::filesystem::path& recording);

} // namespace mirl
