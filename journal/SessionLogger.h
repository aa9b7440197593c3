#pragma once

#include "journal/EventSink.h"
#include "runtime/Clock.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

namespace mirl {

/// The session journal: one JSON-lines file per session under <data folder>/sessions, the
/// recording name reserved beside it under <data folder>/recordings, and age-based pruning.
///
/// Folders are created 0700 and files 0600: they hold what happened in a bedroom. A session
/// started in the same local minute as an existing log or recording gets the stamp with "-2"
/// (then "-3", ...) appended, so no earlier file is emptied or overwritten.
///
/// Thread rule: every operation may be called from any thread. One mutex serialises them, so
/// each record is written whole by one write() call and never reaches a file being closed.
class SessionLogger final : public EventSink {
public:
    struct SessionFiles {
        std::filesystem::path log;
        std::filesystem::path recording;
    };

    /// dataFolder: the "Mirl" folder itself, or nothing when no data directory exists (every
    /// session then runs without a log). osName: the text of "session_start"'s "macos" key.
    SessionLogger(const Clock& clock, std::optional<std::filesystem::path> dataFolder, std::string osName);
    ~SessionLogger() override;

    /// The data folder, with "sessions" and "recordings" created where missing (failures
    /// ignored). Empty when there is none.
    std::filesystem::path dataFolder() const;

    /// Opens a new log (closing an open one without "session_end") and writes "session_start".
    /// The locations are returned even when the log could not be opened.
    SessionFiles startSession();
    void log(std::string_view event, const EventPayload& payload = EventPayload::object()) override;
    void endSession(std::string_view reason);
    /// Deletes entries of "sessions" and "recordings" last modified strictly before now - days.
    void pruneOldFiles(int days);

    bool isOpen() const;
    /// Why a record of the current (or last) session could not be written, the first time it
    /// happened; nothing while every record went out whole. A full disk loses records without
    /// stopping the session, but a tool that promises a complete log must say so.
    std::optional<std::string> writeError() const;
    std::optional<std::filesystem::path> currentSessionURL() const;
    std::optional<std::filesystem::path> currentRecordingURL() const;

    /// "yyyy-MM-dd-HHmm" in local time.
    static std::string sessionStamp(TimePoint t);

private:
    std::filesystem::path ensureFolders() const;
    void writeRecordLocked(std::string_view event, const EventPayload& payload);
    void closeLocked();

    const Clock& clock_;
    const std::optional<std::filesystem::path> root_;
    const std::string osName_;

    mutable std::mutex mutex_;
    int fd_ = -1;
    std::optional<std::filesystem::path> sessionURL_;
    std::optional<std::filesystem::path> recordingURL_;
    std::optional<std::string> writeError_;
};

} // namespace mirl
