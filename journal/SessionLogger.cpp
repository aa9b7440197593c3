#include "journal/SessionLogger.h"

#include "journal/DataFolder.h"
#include "journal/JsonLine.h"
#include "runtime/WriteAll.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace mirl {

namespace fs = std::filesystem;

namespace {

constexpr mode_t kFileMode = kJournalFileMode;

} // namespace

SessionLogger::SessionLogger(const Clock& clock, std::optional<fs::path> dataFolder, std::string osName)
    : clock_(clock), root_(std::move(dataFolder)), osName_(std::move(osName)) {}

SessionLogger::~SessionLogger() {
    std::lock_guard lock(mutex_);
    closeLocked();
}

fs::path SessionLogger::ensureFolders() const {
    if (!root_)
        return {};
    prepareDataFolder(*root_);
    return *root_;
}

fs::path SessionLogger::dataFolder() const {
    return ensureFolders();
}

std::string SessionLogger::sessionStamp(TimePoint t) {
    std::time_t tt = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d-%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min);
    return buf;
}

SessionLogger::SessionFiles SessionLogger::startSession() {
    const std::string stamp = sessionStamp(clock_.now());
    std::lock_guard lock(mutex_);
    closeLocked();

    const fs::path folder = ensureFolders();
    SessionFiles files;
    int fd = -1;
    // Same-minute sessions: the first free suffix wins. O_EXCL makes the claim atomic.
    for (int n = 1; n <= 1000; ++n) {
        const std::string id = n == 1 ? stamp : stamp + "-" + std::to_string(n);
        files.log = folder / "sessions" / ("session-" + id + ".jsonl");
        files.recording = folder / "recordings" / ("audio-" + id + ".m4a");
        std::error_code ec;
        if (fs::exists(files.recording, ec))
            continue;
        if (!root_)
            break;
        fd = ::open(files.log.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, kFileMode);
        if (fd >= 0 || errno != EEXIST)
            break;
    }

    fd_ = fd;
    writeError_.reset();
    sessionURL_ = files.log;
    recordingURL_ = files.recording;
    writeRecordLocked("session_start", {{"session_file", files.log.filename().string()},
                                        {"recording_file", files.recording.filename().string()},
                                        {"macos", osName_}});
    return files;
}

void SessionLogger::log(std::string_view event, const EventPayload& payload) {
    std::lock_guard lock(mutex_);
    writeRecordLocked(event, payload);
}

void SessionLogger::writeRecordLocked(std::string_view event, const EventPayload& payload) {
    if (fd_ < 0)
        return;
    nlohmann::json record = nlohmann::json::object();
    record["ts"] = formatTimestamp(clock_.now());
    record["event"] = std::string(event);
    if (payload.is_object())
        for (const auto& [key, value] : payload.items())
            record[key] = value;
    auto text = encodeJsonLine(record);
    if (!text)
        return;
    text->push_back('\n');
    if (!writeAll(fd_, *text) && !writeError_) // a failed write loses this record only
        writeError_ = std::strerror(errno);
}

void SessionLogger::endSession(std::string_view reason) {
    std::lock_guard lock(mutex_);
    writeRecordLocked("session_end", {{"reason", std::string(reason)}});
    closeLocked();
}

void SessionLogger::closeLocked() {
    if (fd_ >= 0 && ::close(fd_) != 0 && !writeError_)
        writeError_ = std::strerror(errno);
    fd_ = -1;
    sessionURL_.reset();
    recordingURL_.reset();
}

void SessionLogger::pruneOldFiles(int days) {
    if (!root_ || days < 1)
        return;
    // In seconds and nanoseconds, as the file system keeps them: now - days x 86400 s does not
    // fit the clock's 64-bit nanoseconds for huge day counts, nor does a far-future date of a
    // file. A cutoff before any representable date keeps everything.
    const auto sinceEpoch = clock_.now().time_since_epoch();
    const auto nowSeconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    const std::pair<long long, long long> cutoff{
        static_cast<long long>(nowSeconds.count()) - static_cast<long long>(days) * 86400,
        static_cast<long long>(std::chrono::nanoseconds(sinceEpoch - nowSeconds).count())};
    const fs::path folder = ensureFolders();
    for (const char* sub : {"sessions", "recordings"}) {
        std::error_code ec;
        fs::directory_iterator it(folder / sub, ec);
        if (ec)
            continue;
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec)
                break;
            struct stat st {};
            if (::lstat(it->path().c_str(), &st) != 0)
                continue;
            const std::pair<long long, long long> modified{st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
            if (modified < cutoff) {
                std::error_code removeError;
                fs::remove_all(it->path(), removeError);
            }
        }
    }
}

std::optional<std::string> SessionLogger::writeError() const {
    std::lock_guard lock(mutex_);
    return writeError_;
}

bool SessionLogger::isOpen() const {
    std::lock_guard lock(mutex_);
    return fd_ >= 0;
}

std::optional<fs::path> SessionLogger::currentSessionURL() const {
    std::lock_guard lock(mutex_);
    return sessionURL_;
}

std::optional<fs::path> SessionLogger::currentRecordingURL() const {
    std::lock_guard lock(mutex_);
    return recordingURL_;
}

} // namespace mirl
