#pragma once

#include <filesystem>
#include <string>

namespace mirl::test {

/// A fresh private folder under the system temp dir, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

/// Sets TZ for the scope, restoring the previous zone afterwards.
class LocalZone {
public:
    explicit LocalZone(const std::string& tz);
    ~LocalZone();

private:
    std::string previous_;
    bool hadPrevious_;
};

std::string readFile(const std::filesystem::path& path);

} // namespace mirl::test
