#include "runtime/PrivateFiles.h"

#include "runtime/WriteAll.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirl {

namespace {

std::string tooLarge(std::size_t maxBytes) {
    return "larger than " + std::to_string(maxBytes) + " bytes";
}

/// Opens `file` for reading without following a link in its place and without blocking on a
/// FIFO; checks that it is a regular file of at most maxBytes. The descriptor (and the file's
/// size), or -1 with `result` saying why.
int openRegular(const std::filesystem::path& file, std::size_t maxBytes, FileRead& result,
                std::size_t* size = nullptr) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return -1; // missing
        result.outcome = FileRead::Outcome::refused;
        result.why = errno == ELOOP ? "a symbolic link" : std::strerror(errno);
        return -1;
    }
    struct stat st {};
    std::string why;
    if (::fstat(fd, &st) != 0)
        why = std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        why = "not a regular file";
    else if (static_cast<unsigned long long>(st.st_size) > maxBytes)
        why = tooLarge(maxBytes);
    if (!why.empty()) {
        ::close(fd);
        result.outcome = FileRead::Outcome::refused;
        result.why = why;
        return -1;
    }
    if (size)
        *size = static_cast<std::size_t>(st.st_size);
    return fd;
}

} // namespace

FileRead readRegularFile(const std::filesystem::path& file, std::size_t maxBytes) {
    FileRead result;
    std::size_t size = 0;
    const int fd = openRegular(file, maxBytes, result, &size);
    if (fd < 0)
        return result;
    // Read up to one byte more than allowed, so that a file that grew meanwhile is still refused;
    // the buffer starts at the size the file had and grows only if it grows.
    std::string text;
    std::size_t done = 0;
    for (;;) {
        if (done == text.size()) {
            if (text.size() > maxBytes)
                break;
            text.resize(std::min(maxBytes + 1, std::max<std::size_t>({size + 1, 2 * text.size(), 4096})));
        }
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.outcome = FileRead::Outcome::refused;
            result.why = std::strerror(errno);
            ::close(fd);
            return result;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done > maxBytes) {
        result.outcome = FileRead::Outcome::refused;
        result.why = tooLarge(maxBytes);
        return result;
    }
    text.resize(done);
    result.outcome = FileRead::Outcome::read;
    result.text = std::move(text);
    return result;
}

std::optional<std::string> irregularFile(const std::filesystem::path& file, std::size_t maxBytes) {
    FileRead result;
    const int fd = openRegular(file, maxBytes, result);
    if (fd >= 0)
        ::close(fd);
    if (result.outcome == FileRead::Outcome::refused)
        return result.why;
    return std::nullopt;
}

int openPrivateFile(const std::filesystem::path& file, int flags) {
    const int fd =
        ::open(file.c_str(), flags | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    // Writes to a regular file do not block; the flag only kept a FIFO from stalling the open.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::optional<std::string> makePrivateFolder(const std::filesystem::path& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? std::nullopt
                                   : std::optional<std::string>(folder.string() + " is not a folder");
    if (folder.has_parent_path() && folder.parent_path() != folder)
        if (auto why = makePrivateFolder(folder.parent_path()))
            return why;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return "cannot create " + folder.string() + ": " + std::strerror(errno);
    return std::nullopt;
}

std::optional<std::string> replaceFile(const std::filesystem::path& file, std::string_view text) {
    const std::string temporary = file.string() + ".tmp";
    int fd = -1;
    for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        // A temporary file left by a crash, or anything planted under its name: removed (a
        // link itself, not what it points to), then the name is claimed again.
        if (fd < 0 && errno == EEXIST)
            ::unlink(temporary.c_str());
        else if (fd < 0)
            break;
    }
    if (fd < 0)
        return std::string(std::strerror(errno));
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(temporary.c_str());
        return std::string(std::strerror(written ? errno : writeError));
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.c_str());
        return std::string(std::strerror(renameError));
    }
    return std::nullopt;
}

} // namespace mirl
