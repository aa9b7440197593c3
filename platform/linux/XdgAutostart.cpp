#include "platform/linux/XdgAutostart.h"

#include "platform/linux/XdgPaths.h"
#include "runtime/WriteAll.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace mirl {

namespace {

// An Exec argument quoted as the desktop entry rules want it when it needs quoting.
std::string execArgument(const std::string& arg) {
    if (arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string::npos)
        return arg;
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    // Inside a desktop entry's string value a backslash is itself escaped.
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string trimmed(const std::string& s) {
    const auto begin = s.find_first_not_of(" \t\r");
    const auto end = s.find_last_not_of(" \t\r");
    return begin == std::string::npos ? std::string() : s.substr(begin, end - begin + 1);
}

} // namespace

XdgAutostart::XdgAutostart(std::filesystem::path entry, std::filesystem::path program)
    : entry_(std::move(entry)), program_(std::move(program)) {}

std::optional<XdgAutostart> XdgAutostart::forThisProgram() {
    auto config = xdg::configHome();
    if (!config)
        return std::nullopt;
    std::error_code ec;
    auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        program = "mirl";
    return XdgAutostart(*config / "autostart" / "mirl.desktop", program);
}

bool XdgAutostart::isEnabled() const {
    std::ifstream in(entry_);
    if (!in)
        return false;
    std::string line;
    bool inEntry = false;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry)
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = trimmed(line.substr(0, eq));
        const std::string value = trimmed(line.substr(eq + 1));
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return false;
    }
    return true;
}

std::string XdgAutostart::entryText() const {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Mirl\n"
           "Comment=Bedtime sleep timer\n"
           "Icon=mirl\n"
           "Exec=" +
           execArgument(program_.string()) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::optional<std::string> XdgAutostart::setEnabled(bool enabled) {
    std::error_code ec;
    if (!enabled) {
        if (!std::filesystem::remove(entry_, ec) && ec)
            return "cannot remove " + entry_.string() + ": " + ec.message();
        return std::nullopt;
    }
    std::filesystem::create_directories(entry_.parent_path(), ec);
    if (ec)
        return "cannot create " + entry_.parent_path().string() + ": " + ec.message();
    const std::filesystem::path temporary = entry_.string() + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return "cannot write " + temporary.string() + ": " + std::strerror(errno);
    const bool written = writeAll(fd, entryText()) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), entry_.c_str()) != 0) {
        const std::string reason = std::strerror(written ? errno : writeError);
        ::unlink(temporary.c_str());
        return "cannot write " + entry_.string() + ": " + reason;
    }
    return std::nullopt;
}

} // namespace mirl
