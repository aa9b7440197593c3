#include "tests/support/TestPaths.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace mirl::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mirl-test.XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

LocalZone::LocalZone(const std::string& tz) {
    const char* old = std::getenv("TZ");
    hadPrevious_ = old != nullptr;
    previous_ = old ? old : "";
    setenv("TZ", tz.c_str(), 1);
    tzset();
}

LocalZone::~LocalZone() {
    if (hadPrevious_)
        setenv("TZ", previous_.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace mirl::test
