#pragma once

#include <filesystem>

namespace mirl {

/// Creates the data folder and its "sessions" and "recordings" subfolders where they are
/// missing (0700: they hold what happened in a bedroom). Failures are ignored; the next file
/// operation fails instead.
void prepareDataFolder(const std::filesystem::path& root);

/// The mode of the journal's files: readable by their owner only.
inline constexpr unsigned kJournalFileMode = 0600;

} // namespace mirl
