#pragma once

#include "runtime/Clock.h"
#include "runtime/Published.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirl {

/// One past session as the review list shows it.
struct SessionRef {
    /// The session stamp: the log's name without "session-" and ".jsonl".
    std::string id;
    /// The log's last modification (the time of its last record), or when it was listed.
    TimePoint date;
    std::filesystem::path sessionURL;
    /// "recordings/audio-<id>.m4a", when that file exists.
    std::optional<std::filesystem::path> recordingURL;

    bool operator==(const SessionRef&) const = default;
};

/// What kind of session the user says it was.
enum class SessionType { nap, night, test, other };
inline constexpr SessionType kSessionTypes[] = {SessionType::nap, SessionType::night, SessionType::test,
                                                SessionType::other};
/// "nap", "night", "test", "other".
std::string_view storedText(SessionType type);
/// "Nap", "Night", "Test", "Other".
std::string_view label(SessionType type);
std::optional<SessionType> sessionTypeFromStoredText(std::string_view text);

/// Which sessions the list shows, by annotation status.
enum class SessionFilter { all, annotated, unannotated };
inline constexpr SessionFilter kSessionFilters[] = {SessionFilter::all, SessionFilter::annotated,
                                                    SessionFilter::unannotated};
/// "all", "annotated", "unannotated".
std::string_view rawValue(SessionFilter filter);
/// "All", "Annotated", "Not annotated".
std::string_view label(SessionFilter filter);

/// The past sessions in the data folder and the user's annotations of them.
///
/// Annotations live in "annotations.jsonl" beside "sessions" and "recordings": one record per
/// line, only ever appended, the last line of a session winning. A line that is torn, foreign
/// or not UTF-8 is skipped when reading and stays in the file, and a save after a torn last
/// line starts on a line of its own, so nothing saved is ever lost.
///
/// Thread rule: main thread.
class AnnotationStore {
public:
    /// The largest annotation file read: decades of nightly annotations.
    static constexpr std::size_t kMaxAnnotationBytes = 64 * 1024 * 1024;

    /// dataFolder: the "Mirl" folder, or nothing when there is none (an empty list, and
    /// saves fail). Lists the sessions and reads the annotations at once.
    AnnotationStore(const Clock& clock, std::optional<std::filesystem::path> dataFolder);

    /// Newest first.
    Published<std::vector<SessionRef>> sessions;
    /// Session id -> the annotation object last stored for it, as read from the file.
    Published<std::map<std::string, nlohmann::json>> existingAnnotations;
    Published<SessionFilter> filter{SessionFilter::all};
    /// Nothing: every type.
    Published<std::optional<SessionType>> typeFilter;

    /// Lists the "sessions" folder again (its regular files named like logs; no link, FIFO or
    /// folder), then reloads the annotations.
    void refresh();
    void loadAnnotations();
    /// The sessions that pass both filters, in list order.
    std::vector<SessionRef> filteredSessions() const;
    bool isAnnotated(const std::string& sessionId) const;
    /// The annotated type of a session, when its annotation has a known one.
    std::optional<SessionType> annotatedType(const std::string& sessionId) const;

    /// Appends one record and reloads. False when nothing could be written (the file and the
    /// annotations are then unchanged).
    bool saveAnnotation(const std::string& sessionId, SessionType type, const std::string& intervals,
                        int quality, const std::string& comment);
    /// Removes the log, the recording and its "-part" files, and forgets the session. Removal
    /// errors leave those files in place; the session leaves the list all the same.
    void deleteSession(const SessionRef& session);

    const std::optional<std::filesystem::path>& dataFolder() const { return root_; }
    /// Empty without a data folder.
    std::filesystem::path annotationFile() const;

private:
    const Clock& clock_;
    const std::optional<std::filesystem::path> root_;
};

} // namespace mirl
