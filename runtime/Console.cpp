#include "runtime/Console.h"

#include <unistd.h>

namespace mirl {

void StderrConsole::line(std::string_view text) {
    std::string whole(text);
    whole.push_back('\n');
    std::lock_guard lock(mutex_);
    const char* p = whole.data();
    std::size_t left = whole.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n <= 0)
            break;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

} // namespace mirl
