#include "detect/classifier/FeatureSoundClassifier.h"

#include "detect/CapturedBuffer.h"

#include <cmath>

namespace mirl {

using namespace classifier;

namespace {
constexpr double kWindowSeconds = 1.5;
constexpr double kStepSeconds = 0.75;
} // namespace

FeatureSoundClassifier::FeatureSoundClassifier() = default;
FeatureSoundClassifier::~FeatureSoundClassifier() = default;

void FeatureSoundClassifier::reset() {
    rate_ = 0;
    offsetSeconds_ = 0;
    restart(0);
}

void FeatureSoundClassifier::restart(int rate) {
    rate_ = rate;
    framesDone_ = 0;
    inputSamples_ = 0;
    bufferStart_ = 0;
    buffer_.clear();
    resampler_ = rate > 0 ? std::make_unique<Resampler>(rate, kAnalysisRate) : nullptr;
    frames_.reset();
    windows_.reset();
}

void FeatureSoundClassifier::process(std::span<const float> samples, double sampleRate,
                                     const ResultCallback& onResult) {
    if (!(sampleRate >= CapturedBuffer::minAnalysisRate && sampleRate <= CapturedBuffer::maxAnalysisRate) ||
        samples.empty())
        return; // an absurd rate cannot be analysed; the stream waits for a usable one
    const int rate = int(std::lround(sampleRate));
    if (rate != rate_) {
        if (rate_ > 0 && resampler_) // the stream's time line goes on at the new rate
            offsetSeconds_ += double(inputSamples_) / rate_;
        restart(rate);
    }

    clean_.assign(samples.begin(), samples.end());
    for (float& x : clean_) {
        if (!std::isfinite(x))
            x = 0;
    }
    inputSamples_ += std::int64_t(clean_.size());
    resampler_->push(clean_, buffer_);

    const std::int64_t end = bufferStart_ + std::int64_t(buffer_.size());
    for (;;) {
        const std::int64_t start = framesDone_ * kHop;
        if (start + kFrameLength > end)
            break;
        windows_.addFrame(frames_.analyze(
            std::span<const float>(buffer_).subspan(std::size_t(start - bufferStart_), kFrameLength)));
        ++framesDone_;
        const std::int64_t sinceFirst = framesDone_ - kWindowFrames;
        if (sinceFirst >= 0 && sinceFirst % kWindowStepFrames == 0) {
            const FeatureVector features = windows_.compute();
            lastFeatures_ = features;
            ClassificationResult result;
            result.startSeconds = offsetSeconds_ + double(sinceFirst / kWindowStepFrames) * kStepSeconds;
            result.durationSeconds = kWindowSeconds;
            result.labels = decision_.decide(features);
            if (onResult)
                onResult(result);
        }
    }
    // Drop what no later frame reads.
    const std::int64_t keepFrom = framesDone_ * kHop;
    if (keepFrom > bufferStart_) {
        const std::size_t drop =
            std::size_t(std::min<std::int64_t>(keepFrom - bufferStart_, std::int64_t(buffer_.size())));
        buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(drop));
        bufferStart_ += std::int64_t(drop);
    }
}

} // namespace mirl
