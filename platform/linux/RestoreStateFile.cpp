#include "platform/linux/RestoreStateFile.h"

#include "platform/linux/XdgPaths.h"
#include "runtime/PrivateFiles.h"

#include <cerrno>
#include <cstring>
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

bool RestoreStateFile::remember(std::string_view part, const nlohmann::json& value) {
    const std::string name(part);
    const std::optional<nlohmann::json> previous =
        parts_.contains(name) ? std::optional(parts_[name]) : std::nullopt;
    parts_[name] = value;
    if (auto why = write()) {
        // Not recorded, so not held: the caller leaves its output as it is.
        if (previous)
            parts_[name] = *previous;
        else
            parts_.erase(name);
        reportFailure(part, *why, "; leaving it unchanged");
        return false;
    }
    return true;
}

void RestoreStateFile::forget(std::string_view part) {
    if (!parts_.contains(std::string(part)))
        return;
    parts_.erase(std::string(part));
    if (auto why = write())
        reportFailure(part, *why);
}

void RestoreStateFile::reportFailure(std::string_view part, const std::string& why,
                                     std::string_view consequence) {
    if (failing_.contains(part))
        return;
    failing_.emplace(part);
    console_.line("Mirl: cannot record the " + std::string(part) + " to put back in " + file_.string() +
                  ": " + why + std::string(consequence));
    if (onFailure)
        onFailure(part, why);
}

std::optional<std::string> RestoreStateFile::write() {
    nlohmann::json all = parts_;
    for (const auto& [name, value] : leftovers_.items())
        all[name] = value; // the older record of the user's own state wins
    if (all.empty()) {
        if (::unlink(file_.c_str()) != 0 && errno != ENOENT)
            return std::string(std::strerror(errno));
        failing_.clear();
        return std::nullopt;
    }
    const auto folder = file_.parent_path();
    if (auto why = makePrivateFolder(folder))
        return why;
    ::chmod(folder.c_str(), 0700);
    if (auto why = replaceFile(file_, all.dump() + "\n"))
        return why;
    failing_.clear();
    return std::nullopt;
}

nlohmann::json RestoreStateFile::adoptLeftovers() {
    const FileRead read = readRegularFile(file_, maxFileBytes);
    if (read.outcome == FileRead::Outcome::missing)
        return nlohmann::json::object();
    nlohmann::json parts = read.outcome == FileRead::Outcome::read
                               ? nlohmann::json::parse(read.text, nullptr, false)
                               : nlohmann::json();
    if (!parts.is_object()) {
        console_.line("Mirl: ignoring the restore state file " + file_.string() + ": " +
                      (read.outcome == FileRead::Outcome::refused ? read.why : std::string("not readable")));
        // Removes a link or a FIFO itself, never what it leads to.
        ::unlink(file_.c_str());
        return nlohmann::json::object();
    }
    leftovers_ = parts;
    return parts;
}

void RestoreStateFile::keepLeftover(std::string_view part, const nlohmann::json& rest) {
    leftovers_[std::string(part)] = rest;
    if (auto why = write())
        reportFailure(part, *why);
}

void RestoreStateFile::settleLeftover(std::string_view part) {
    if (!leftovers_.contains(std::string(part)))
        return;
    leftovers_.erase(std::string(part));
    if (auto why = write())
        reportFailure(part, *why);
}

} // namespace mirl
