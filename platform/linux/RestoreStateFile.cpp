#include "platform/linux/RestoreStateFile.h"

#include "platform/linux/XdgPaths.h"
#include "runtime/WriteAll.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace mirl {

RestoreStateFile::RestoreStateFile(std::filesystem::path file, Console& console)
    : file_(std::move(file)), console_(console) {}

std::optional<std::filesystem::path> RestoreStateFile::defaultFile() {
    if (auto state = xdg::stateHome())
        return *state / "Mirl" / "restore-state.json";
    return std::nullopt;
}

void RestoreStateFile::remember(std::string_view part, const nlohmann::json& value) {
    parts_[std::string(part)] = value;
    write();
}

void RestoreStateFile::forget(std::string_view part) {
    if (!parts_.contains(std::string(part)))
        return;
    parts_.erase(std::string(part));
    write();
}

void RestoreStateFile::write() {
    std::error_code ec;
    if (parts_.empty()) {
        std::filesystem::remove(file_, ec);
        return;
    }
    auto fail = [&](const std::string& what) {
        if (!reportedFailure_)
            console_.line("Mirl: cannot keep the restore state in " + file_.string() + ": " + what);
        reportedFailure_ = true;
    };
    const auto folder = file_.parent_path();
    std::filesystem::create_directories(folder, ec);
    if (ec)
        return fail(ec.message());
    ::chmod(folder.c_str(), 0700);
    const auto temporary = file_.string() + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(std::strerror(errno));
    const bool ok = writeAll(fd, parts_.dump() + "\n") && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(temporary.c_str(), file_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return fail(std::strerror(errno));
    }
}

std::vector<std::string> recoverLeftovers(const std::filesystem::path& file,
                                          const std::map<std::string, PartRestorer, std::less<>>& restorers,
                                          Console& console) {
    std::vector<std::string> restored;
    std::ifstream in(file);
    if (!in)
        return restored;
    std::stringstream text;
    text << in.rdbuf();
    in.close();
    const nlohmann::json parts = nlohmann::json::parse(text.str(), nullptr, false);
    if (!parts.is_object()) {
        console.line("Mirl: ignoring an unreadable restore state file " + file.string());
    } else {
        for (const auto& [name, value] : parts.items()) {
            auto restorer = restorers.find(name);
            bool ok = false;
            if (restorer != restorers.end()) {
                try {
                    ok = restorer->second(value);
                } catch (const std::exception&) {
                    ok = false; // a malformed part is as good as one that no longer applies
                }
            }
            if (ok) {
                restored.push_back(name);
                console.line("Mirl: put back the " + name + " a previous run left changed");
            } else {
                console.line("Mirl: the " + name + " a previous run left changed no longer applies");
            }
        }
    }
    std::error_code ec;
    std::filesystem::remove(file, ec);
    return restored;
}

} // namespace mirl
