#include "runtime/WriteAll.h"

#include <cerrno>
#include <unistd.h>

namespace mirl {

namespace {

// Calls write(done) until every byte is written; write returns what one call wrote.
template <typename Write> bool retrying(std::size_t size, Write write) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool writeAll(int fd, std::string_view text) {
    return retrying(text.size(),
                    [&](std::size_t done) { return ::write(fd, text.data() + done, text.size() - done); });
}

bool writeAllAt(int fd, std::string_view text, std::int64_t offset) {
    return retrying(text.size(), [&](std::size_t done) {
        return ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(offset + done));
    });
}

} // namespace mirl
