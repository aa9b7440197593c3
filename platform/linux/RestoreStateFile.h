#pragma once

#include "platform/RestoreState.h"
#include "runtime/Console.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>

namespace mirl {

/// The restore state in a small JSON file under the XDG state directory (it must outlive a
/// reboot, since the system keeps a dimmed backlight and a lowered volume across one). The file
/// exists only while something is remembered; it is replaced atomically through a temporary
/// file created exclusively (runtime/PrivateFiles.h), 0600 in a 0700 folder.
///
/// It holds this run's parts and the leftovers: parts a previous run left that could not be put
/// back yet (CrashRecovery). A leftover is older than this run's part of the same name, so it is
/// what the file keeps for that name until it is settled.
///
/// A part that cannot be recorded is reported once per run of failures: a console line, and
/// onFailure (which the application points at the session log).
/// Thread rule: main thread.
class RestoreStateFile final : public RestoreState {
public:
    /// The largest file read back: many outputs' gamma ramps fit several times over.
    static constexpr std::size_t maxFileBytes = 4 * 1024 * 1024;

    RestoreStateFile(std::filesystem::path file, Console& console);

    /// $XDG_STATE_HOME/Mirl/restore-state.json; nothing when no home can be found.
    static std::optional<std::filesystem::path> defaultFile();

    bool remember(std::string_view part, const nlohmann::json& value) override;
    void forget(std::string_view part) override;

    /// Reads what a previous run left: its parts become leftovers, kept in the file until they
    /// are settled. A file that cannot be taken (a link, a FIFO, too large, not a JSON object)
    /// is reported, removed and gives nothing.
    nlohmann::json adoptLeftovers();
    /// Replaces a leftover by what remains of it to put back.
    void keepLeftover(std::string_view part, const nlohmann::json& rest);
    /// Drops a leftover that was put back or no longer applies.
    void settleLeftover(std::string_view part);

    const std::filesystem::path& file() const { return file_; }

    /// Told the part and the reason when a part could not be recorded (once per run of failures).
    std::function<void(std::string_view part, const std::string& why)> onFailure;

private:
    /// Writes this run's parts and the leftovers; nothing on success, else why.
    std::optional<std::string> write();
    void reportFailure(std::string_view part, const std::string& why, std::string_view consequence = {});

    std::filesystem::path file_;
    Console& console_;
    nlohmann::json parts_ = nlohmann::json::object();
    nlohmann::json leftovers_ = nlohmann::json::object();
    std::set<std::string, std::less<>> failing_; // parts reported since the last good write
};

} // namespace mirl
