#pragma once

#include "platform/RestoreState.h"
#include "runtime/Console.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mirl {

/// The restore state in a small JSON file under the XDG state directory (it must outlive a
/// reboot, since the system keeps a dimmed backlight and a lowered volume across one). The file
/// exists only while something is remembered; it is replaced atomically (temporary file,
/// fsync, rename), created 0600 in a 0700 folder.
/// Thread rule: main thread.
class RestoreStateFile final : public RestoreState {
public:
    RestoreStateFile(std::filesystem::path file, Console& console);

    /// $XDG_STATE_HOME/Mirl/restore-state.json; nothing when no home can be found.
    static std::optional<std::filesystem::path> defaultFile();

    void remember(std::string_view part, const nlohmann::json& value) override;
    void forget(std::string_view part) override;

    const std::filesystem::path& file() const { return file_; }

private:
    void write();

    std::filesystem::path file_;
    Console& console_;
    nlohmann::json parts_ = nlohmann::json::object();
    bool reportedFailure_ = false;
};

/// Puts back one remembered part; false when it no longer applies or failed.
using PartRestorer = std::function<bool(const nlohmann::json& value)>;

/// Run at launch, before anything changes: hands each part a previous process left behind to
/// its restorer, writes a console line for each, and deletes the file. An unreadable file is
/// reported and deleted. Returns the parts that were put back.
std::vector<std::string> recoverLeftovers(const std::filesystem::path& file,
                                          const std::map<std::string, PartRestorer, std::less<>>& restorers,
                                          Console& console);

} // namespace mirl
