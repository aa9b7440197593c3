#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace mirl {

/// The rules for every file Mirl keeps in its own folders (settings, restore state, logs):
/// folders are created 0700, files 0600; a file is read only when it is a regular file of a
/// bounded size, never through a symbolic link in its place and never waiting on a FIFO or a
/// device; a replacement goes through a temporary file created exclusively.

/// A file read whole, or why it was not.
struct FileRead {
    enum class Outcome { read, missing, refused };
    Outcome outcome = Outcome::missing;
    std::string text; ///< when read
    std::string why;  ///< when refused: "a symbolic link", "not a regular file", "larger than N bytes", ...
};

/// Reads `file` when it is a regular file of at most maxBytes.
FileRead readRegularFile(const std::filesystem::path& file, std::size_t maxBytes);

/// Why `file` may not be read as a regular file of at most maxBytes; nothing when it may, or
/// when it does not exist. For files that a library opens itself (QSettings).
std::optional<std::string> irregularFile(const std::filesystem::path& file, std::size_t maxBytes);

/// Opens `file` for writing, creating it with mode 0600 when it is missing; `flags` is what to
/// add to O_CREAT (O_WRONLY | O_TRUNC, O_RDWR | O_APPEND, ...). Never through a link in its place
/// and never waiting on a FIFO. The descriptor, or -1 with errno set (ELOOP for a link, EINVAL for
/// anything but a regular file).
int openPrivateFile(const std::filesystem::path& file, int flags);

/// Creates `folder` and its missing parents with mode 0700 (existing folders keep their mode).
/// Nothing on success, else why.
std::optional<std::string> makePrivateFolder(const std::filesystem::path& folder);

/// Replaces `file` with text, atomically: "<file>.tmp" is created exclusively with mode 0600
/// (whatever lies under that name, a link planted there included, is removed first, never
/// followed), written whole, synced and renamed over `file`. Nothing on success, else why
/// (the file then keeps its previous content).
std::optional<std::string> replaceFile(const std::filesystem::path& file, std::string_view text);

} // namespace mirl
