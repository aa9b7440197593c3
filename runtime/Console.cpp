#include "runtime/Console.h"

#include "runtime/WriteAll.h"

#include <unistd.h>

namespace mirl {

void StderrConsole::line(std::string_view text) {
    std::string whole(text);
    whole.push_back('\n');
    std::lock_guard lock(mutex_);
    writeAll(STDERR_FILENO, whole);
}

} // namespace mirl
