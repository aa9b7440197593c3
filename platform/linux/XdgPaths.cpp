#include "platform/linux/XdgPaths.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

namespace mirl::xdg {

namespace {

std::optional<std::filesystem::path> home() {
    if (const char* h = std::getenv("HOME"); h && *h)
        return std::filesystem::path(h);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return std::filesystem::path(pw->pw_dir);
    return std::nullopt;
}

std::optional<std::filesystem::path> fromEnv(const char* variable, const char* relativeToHome) {
    // The XDG rules ignore relative paths in these variables.
    if (const char* v = std::getenv(variable); v && *v == '/')
        return std::filesystem::path(v);
    if (auto h = home())
        return *h / relativeToHome;
    return std::nullopt;
}

} // namespace

std::optional<std::filesystem::path> dataHome() {
    return fromEnv("XDG_DATA_HOME", ".local/share");
}

std::optional<std::filesystem::path> configHome() {
    return fromEnv("XDG_CONFIG_HOME", ".config");
}

std::optional<std::filesystem::path> stateHome() {
    return fromEnv("XDG_STATE_HOME", ".local/state");
}

std::string osPrettyName() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("PRETTY_NAME=", 0) != 0)
                continue;
            std::string value = line.substr(12);
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            if (!value.empty())
                return value;
        }
    }
    return "Linux";
}

} // namespace mirl::xdg
