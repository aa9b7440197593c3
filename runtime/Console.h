#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace mirl {

/// Developer console lines ("Mirl: ...", "Mirl overlay: ...").
/// Thread rule: line() is safe from any thread; each line is written whole.
class Console {
public:
    virtual ~Console() = default;
    /// Writes text and a line feed. The caller includes its prefix.
    virtual void line(std::string_view text) = 0;
};

/// Standard error, one write per line.
class StderrConsole final : public Console {
public:
    void line(std::string_view text) override;

private:
    std::mutex mutex_;
};

/// Keeps the lines; for tests and the simulator.
class RecordingConsole final : public Console {
public:
    void line(std::string_view text) override {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(text);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace mirl
