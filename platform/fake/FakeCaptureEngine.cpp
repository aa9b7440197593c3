#include "platform/fake/FakeCaptureEngine.h"

#include <algorithm>

namespace mirl {

FakeCaptureEngine::FakeCaptureEngine(Scheduler& scheduler) : scheduler_(scheduler) {
    playSilence();
}

FakeCaptureEngine::~FakeCaptureEngine() = default;

void FakeCaptureEngine::play(Producer producer, double naturalRate, AtEnd atEnd) {
    producer_ = std::move(producer);
    naturalRate_ = naturalRate > 0 ? naturalRate : 48000;
    atEnd_ = atEnd;
    hasDevice_ = true;
    format_.reset();
    playPosition_ = 0;
    exhausted_ = false;
}

void FakeCaptureEngine::playFile(std::unique_ptr<AudioFileReader> reader, AtEnd atEnd) {
    const double rate = reader ? reader->sampleRate() : 0;
    std::shared_ptr<AudioFileReader> shared(std::move(reader));
    play(
        [shared](std::int64_t position, std::vector<float>& out) {
            out = shared ? shared->read(position, framesPerBuffer) : std::vector<float>{};
            return out.size();
        },
        rate, atEnd);
}

void FakeCaptureEngine::playSamples(std::vector<float> samples, double sampleRate, AtEnd atEnd) {
    auto shared = std::make_shared<const std::vector<float>>(std::move(samples));
    play(
        [shared](std::int64_t position, std::vector<float>& out) {
            const auto from = std::min(static_cast<std::size_t>(position), shared->size());
            const auto to = std::min(from + framesPerBuffer, shared->size());
            out.assign(shared->begin() + static_cast<std::ptrdiff_t>(from),
                       shared->begin() + static_cast<std::ptrdiff_t>(to));
            return out.size();
        },
        sampleRate, atEnd);
}

void FakeCaptureEngine::playSilence(CaptureFormat format) {
    play(
        [](std::int64_t, std::vector<float>& out) {
            out.assign(framesPerBuffer, 0.0f);
            return out.size();
        },
        format.sampleRate, AtEnd::silence);
    if (format != CaptureFormat{naturalRate_, 1}) {
        format_ = format;
    }
}

void FakeCaptureEngine::noDevice() {
    stop();
    hasDevice_ = false;
}

void FakeCaptureEngine::setFormat(CaptureFormat format) {
    format_ = format;
}

void FakeCaptureEngine::announce(CaptureChange change) {
    auto copy = *watchers_;
    for (auto& [id, callback] : copy) {
        callback(change);
    }
}

CaptureFormat FakeCaptureEngine::tapFormat() {
    if (!hasDevice_) {
        return {};
    }
    return format_.value_or(CaptureFormat{naturalRate_, 1});
}

std::optional<CaptureSource> FakeCaptureEngine::currentSource() {
    return hasDevice_ ? std::optional(source) : std::nullopt;
}

std::optional<std::string> FakeCaptureEngine::installTap(Tap tap) {
    if (!tapFailures.empty()) {
        auto reason = tapFailures.front();
        tapFailures.pop_front();
        return reason;
    }
    tap_ = std::move(tap);
    return std::nullopt;
}

std::optional<std::string> FakeCaptureEngine::start() {
    if (!startFailures.empty()) {
        auto error = startFailures.front();
        startFailures.pop_front();
        return error;
    }
    if (!hasDevice_) {
        return std::string("no input device");
    }
    if (!running_) {
        running_ = true;
        captured_ = 0;
        ++starts;
        scheduleNext();
    }
    return std::nullopt;
}

void FakeCaptureEngine::stop() {
    if (running_) {
        ++stops;
    }
    running_ = false;
    next_.cancel();
}

Handle FakeCaptureEngine::watchChanges(ChangeCallback callback) {
    const int id = nextWatcher_++;
    (*watchers_)[id] = std::move(callback);
    return Handle([weak = std::weak_ptr<std::map<int, ChangeCallback>>(watchers_), id] {
        if (auto watchers = weak.lock()) {
            watchers->erase(id);
        }
    });
}

void FakeCaptureEngine::scheduleNext() {
    next_ = scheduler_.after(toDuration(static_cast<double>(framesPerBuffer) / naturalRate_), [this] {
        deliver();
        if (running_) {
            scheduleNext();
        }
    });
}

void FakeCaptureEngine::deliver() {
    channel0_.clear();
    std::vector<float> chunk;
    while (channel0_.size() < framesPerBuffer && !exhausted_) {
        const std::size_t got = producer_(playPosition_, chunk);
        const std::size_t take = std::min(got, framesPerBuffer - channel0_.size());
        channel0_.insert(channel0_.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(take));
        playPosition_ += static_cast<std::int64_t>(take);
        if (got > 0) {
            continue;
        }
        if (atEnd_ == AtEnd::loop && playPosition_ > 0) {
            playPosition_ = 0;
        } else if (atEnd_ == AtEnd::silence) {
            channel0_.resize(framesPerBuffer, 0.0f);
        } else {
            exhausted_ = true;
        }
    }
    if (channel0_.empty()) {
        return;
    }
    const CaptureFormat format = tapFormat();
    const auto channels = static_cast<std::size_t>(std::max(format.channels, 1));
    interleaved_.resize(channel0_.size() * channels);
    for (std::size_t i = 0; i < channel0_.size(); ++i) {
        for (std::size_t c = 0; c < channels; ++c) {
            interleaved_[i * channels + c] = channel0_[i] / static_cast<float>(c + 1);
        }
    }
    const Buffer buffer{interleaved_.data(), channel0_.size(), format, captured_};
    captured_ += static_cast<std::int64_t>(channel0_.size());
    ++buffersDelivered;
    if (tap_) {
        tap_(buffer);
    }
}

} // namespace mirl
