#pragma once

#include "platform/AudioFileWriter.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace mirl {

/// Audio files kept in memory: what a recorder created and wrote, for tests and the simulator.
///
/// Thread rule: any thread; one mutex guards the files.
class FakeAudioFiles {
public:
    struct File {
        std::filesystem::path path;
        int sampleRate = 0;
        int channels = 0;
        std::vector<float> interleaved; // everything written
        bool closed = false;
    };

    /// The factory to hand to a recorder.
    AudioFileFactory factory() {
        return [this](const std::filesystem::path& path, int sampleRate, int channels) {
            return create(path, sampleRate, channels);
        };
    }

    /// Creating a file at one of these locations fails.
    std::set<std::filesystem::path> refused;
    /// Writes fail once this many frames are in a file (disk full); none when negative.
    std::int64_t failWritesAfterFrames = -1;

    /// Every file created, in order of creation (a path created twice appears twice).
    std::vector<File> files() const {
        std::lock_guard lock(mutex_);
        std::vector<File> out;
        for (const auto& file : files_) {
            out.push_back(*file);
        }
        return out;
    }
    std::vector<std::filesystem::path> paths() const {
        std::vector<std::filesystem::path> out;
        for (const auto& file : files()) {
            out.push_back(file.path);
        }
        return out;
    }

private:
    class Writer;

    CreatedAudioFile create(const std::filesystem::path& path, int sampleRate, int channels);

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<File>> files_;
};

class FakeAudioFiles::Writer final : public AudioFileWriter {
public:
    Writer(FakeAudioFiles& owner, std::shared_ptr<File> file) : owner_(owner), file_(std::move(file)) {}
    ~Writer() override { close(); }

    bool write(const float* interleaved, std::size_t frames) override {
        std::lock_guard lock(owner_.mutex_);
        if (file_->closed || !error_.empty()) {
            return false;
        }
        const auto ch = static_cast<std::size_t>(file_->channels);
        if (owner_.failWritesAfterFrames >= 0 &&
            framesWritten_ + static_cast<std::int64_t>(frames) > owner_.failWritesAfterFrames) {
            error_ = "No space left on device";
            return false;
        }
        file_->interleaved.insert(file_->interleaved.end(), interleaved, interleaved + frames * ch);
        framesWritten_ += static_cast<std::int64_t>(frames);
        return true;
    }
    bool close() override {
        std::lock_guard lock(owner_.mutex_);
        file_->closed = true;
        return error_.empty();
    }
    std::string error() const override { return error_; }
    int channels() const override { return file_->channels; }
    double sampleRate() const override { return file_->sampleRate; }
    std::int64_t framesWritten() const override { return framesWritten_; }

private:
    FakeAudioFiles& owner_;
    std::shared_ptr<File> file_;
    std::int64_t framesWritten_ = 0;
    std::string error_;
};

inline CreatedAudioFile FakeAudioFiles::create(const std::filesystem::path& path, int sampleRate,
                                               int channels) {
    std::lock_guard lock(mutex_);
    if (refused.count(path) != 0 || sampleRate <= 0 || channels <= 0) {
        return {nullptr, "cannot create " + path.string()};
    }
    auto file = std::make_shared<File>(File{path, sampleRate, channels, {}, false});
    files_.push_back(file);
    return {std::make_unique<Writer>(*this, file), {}};
}

} // namespace mirl
