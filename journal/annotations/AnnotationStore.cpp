#include "journal/annotations/AnnotationStore.h"

#include "journal/DataFolder.h"
#include "journal/JsonLine.h"
#include "journal/recording/RecordingParts.h"
#include "runtime/PrivateFiles.h"
#include "runtime/WriteAll.h"

#include <algorithm>
#include <fcntl.h>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace mirl {

namespace fs = std::filesystem;

std::string_view storedText(SessionType type) {
    switch (type) {
    case SessionType::nap:
        return "nap";
    case SessionType::night:
        return "night";
    case SessionType::test:
        return "test";
    case SessionType::other:
        break;
    }
    return "other";
}

std::string_view label(SessionType type) {
    switch (type) {
    case SessionType::nap:
        return "Nap";
    case SessionType::night:
        return "Night";
    case SessionType::test:
        return "Test";
    case SessionType::other:
        break;
    }
    return "Other";
}

std::optional<SessionType> sessionTypeFromStoredText(std::string_view text) {
    for (SessionType type : kSessionTypes)
        if (storedText(type) == text)
            return type;
    return std::nullopt;
}

std::string_view rawValue(SessionFilter filter) {
    switch (filter) {
    case SessionFilter::annotated:
        return "annotated";
    case SessionFilter::unannotated:
        return "unannotated";
    case SessionFilter::all:
        break;
    }
    return "all";
}

std::string_view label(SessionFilter filter) {
    switch (filter) {
    case SessionFilter::annotated:
        return "Annotated";
    case SessionFilter::unannotated:
        return "Not annotated";
    case SessionFilter::all:
        break;
    }
    return "All";
}

namespace {

std::optional<TimePoint> modificationTime(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return fromFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

/// True when the file is empty or ends with a line feed.
bool endsAtLineStart(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size == 0)
        return true;
    char last = 0;
    return ::pread(fd, &last, 1, st.st_size - 1) == 1 && last == '\n';
}

} // namespace

AnnotationStore::AnnotationStore(const Clock& clock, std::optional<fs::path> dataFolder)
    : clock_(clock), root_(std::move(dataFolder)) {
    refresh();
}

fs::path AnnotationStore::annotationFile() const {
    return root_ ? *root_ / "annotations.jsonl" : fs::path();
}

void AnnotationStore::refresh() {
    std::vector<SessionRef> found;
    if (root_) {
        prepareDataFolder(*root_);
        std::error_code ec;
        for (fs::directory_iterator it(*root_ / "sessions", ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            // Only regular files: opening a FIFO named like a log would hang the window, and a
            // link to a device such as /dev/zero would be read without end.
            std::error_code kind;
            if (it->symlink_status(kind).type() != fs::file_type::regular || !startsWith(name, "session-") ||
                !endsWith(name, ".jsonl") || name.size() < 14)
                continue;
            SessionRef session;
            session.id = name.substr(8, name.size() - 8 - 6);
            session.sessionURL = it->path();
            session.date = modificationTime(it->path()).value_or(clock_.now());
            const fs::path recording = *root_ / "recordings" / ("audio-" + session.id + ".m4a");
            std::error_code exists;
            if (fs::is_regular_file(recording, exists))
                session.recordingURL = recording;
            found.push_back(std::move(session));
        }
    }
    std::sort(found.begin(), found.end(), [](const SessionRef& a, const SessionRef& b) {
        return a.date != b.date ? a.date > b.date : a.id > b.id;
    });
    sessions.set(std::move(found));
    loadAnnotations();
}

void AnnotationStore::loadAnnotations() {
    std::map<std::string, nlohmann::json> annotations;
    // Only a regular file of bounded size: a FIFO would hang the window, a link to a device fill
    // the memory.
    const FileRead read = readRegularFile(annotationFile(), kMaxAnnotationBytes);
    std::istringstream in(read.text);
    for (std::string line; in && std::getline(in, line);) {
        if (line.empty())
            continue;
        // Each line on its own: a torn line, a foreign one, bytes that are not UTF-8 or a
        // tree too deep to handle cost only that line.
        auto record = parseJsonLine(line);
        if (!record || !record->is_object())
            continue;
        const auto id = record->find("session_id");
        if (id == record->end() || !id->is_string())
            continue;
        const std::string key = id->get<std::string>();
        annotations[key] = std::move(*record);
    }
    existingAnnotations.set(std::move(annotations));
}

bool AnnotationStore::isAnnotated(const std::string& sessionId) const {
    return existingAnnotations.get().count(sessionId) > 0;
}

std::optional<SessionType> AnnotationStore::annotatedType(const std::string& sessionId) const {
    const auto annotations = existingAnnotations.get();
    const auto it = annotations.find(sessionId);
    if (it == annotations.end())
        return std::nullopt;
    const auto type = it->second.find("type");
    if (type == it->second.end() || !type->is_string())
        return std::nullopt;
    return sessionTypeFromStoredText(type->get<std::string>());
}

std::vector<SessionRef> AnnotationStore::filteredSessions() const {
    const auto annotations = existingAnnotations.get();
    const SessionFilter status = filter.get();
    const auto type = typeFilter.get();
    std::vector<SessionRef> shown;
    for (const auto& session : sessions.get()) {
        const auto annotation = annotations.find(session.id);
        const bool annotated = annotation != annotations.end();
        if ((status == SessionFilter::annotated && !annotated) ||
            (status == SessionFilter::unannotated && annotated))
            continue;
        if (type) {
            if (!annotated)
                continue;
            const auto stored = annotation->second.find("type");
            if (stored == annotation->second.end() || !stored->is_string() ||
                stored->get<std::string>() != storedText(*type))
                continue;
        }
        shown.push_back(session);
    }
    return shown;
}

bool AnnotationStore::saveAnnotation(const std::string& sessionId, SessionType type,
                                     const std::string& intervals, int quality, const std::string& comment) {
    if (!root_)
        return false;
    const nlohmann::json record = {{"comment", comment},
                                   {"quality", quality},
                                   {"session_id", sessionId},
                                   {"sleep_intervals", intervals},
                                   {"ts", formatTimestampSeconds(clock_.now())},
                                   {"type", storedText(type)}};
    const auto text = encodeJsonLine(record);
    if (!text)
        return false;
    prepareDataFolder(*root_);
    const int fd = openPrivateFile(annotationFile(), O_RDWR | O_APPEND);
    if (fd < 0)
        return false;
    // After a torn last line the record starts a line of its own, so neither is lost.
    const std::string line = (endsAtLineStart(fd) ? "" : "\n") + *text + "\n";
    const bool written = writeAll(fd, line);
    ::close(fd);
    loadAnnotations();
    return written;
}

void AnnotationStore::deleteSession(const SessionRef& session) {
    std::error_code ec;
    fs::remove(session.sessionURL, ec);
    if (session.recordingURL)
        fs::remove(*session.recordingURL, ec);
    if (root_) // the later parts too, also when the first is gone
        for (const auto& part : recordingParts(*root_ / "recordings" / ("audio-" + session.id + ".m4a")))
            fs::remove(part, ec);
    auto remaining = sessions.get();
    std::erase_if(remaining, [&](const SessionRef& s) { return s.id == session.id; });
    sessions.set(std::move(remaining));
    auto annotations = existingAnnotations.get();
    annotations.erase(session.id);
    existingAnnotations.set(std::move(annotations));
}

} // namespace mirl
