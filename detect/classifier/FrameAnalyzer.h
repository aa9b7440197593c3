#pragma once

#include "detect/classifier/FrameFeatures.h"

#include <memory>
#include <span>
#include <vector>

namespace mirl::classifier {

/// Computes FrameFeatures from successive 1024-sample frames at 16 kHz with FFTW (single
/// precision). Keeps the two previous frames' spectra for the flux and detail features.
/// Not thread-safe; one per stream.
class FrameAnalyzer {
public:
    FrameAnalyzer();
    ~FrameAnalyzer();
    FrameAnalyzer(const FrameAnalyzer&) = delete;
    FrameAnalyzer& operator=(const FrameAnalyzer&) = delete;

    /// frame must hold kFrameLength samples.
    FrameFeatures analyze(std::span<const float> frame);
    /// Forgets the previous frames.
    void reset();

private:
    struct Fft;
    std::unique_ptr<Fft> fft_;
    std::vector<float> window_;
    std::vector<float> windowAcf_;        // normalised autocorrelation of the window itself
    std::vector<float> windowAcfInverse_; // 1 / max(windowAcf_, 0.05): the correction of a period's peak
    double windowPower_ = 0;              // sum of the squared window
    std::vector<float> power_;            // kFftSize / 2 + 1 bins
    std::vector<float> scratch_;
    std::vector<float> detail_[3]; // fine log-spectrum structure of this and the two previous frames
    std::array<float, kBandCount> previousBands_{};
    int framesSeen_ = 0;
};

} // namespace mirl::classifier
