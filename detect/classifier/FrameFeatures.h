#pragma once

#include <array>

namespace mirl::classifier {

/// Analysis constants shared by the frame analyzer and the window aggregation.
inline constexpr int kAnalysisRate = 16000; // Hz: every capture rate is resampled to this
inline constexpr int kFrameLength = 1024;   // samples (64 ms), Hann window
inline constexpr int kFftSize = 2048;       // zero-padded, so the autocorrelation does not wrap
inline constexpr int kHop = 480;            // samples (30 ms) between frames
inline constexpr int kSubBlocks = 4;        // energy sub-blocks per hop (7.5 ms each)
inline constexpr int kBandCount = 6;
/// Band edges in Hz: 0-250-500-1000-2000-4000-8000.
inline constexpr std::array<float, kBandCount + 1> kBandEdgesHz{0, 250, 500, 1000, 2000, 4000, 8000};

/// What one 64 ms frame says about the sound.
struct FrameFeatures {
    float energyDb = -120;                  // mean square of the frame, dB re full scale
    std::array<float, kBandCount> bandDb{}; // energy per band, dB re full scale
    float flatness = 0;                     // spectral flatness 125-7000 Hz, 0 (tonal) .. 1 (white)
    float slopeDbPerOctave = 0;             // regression of the band densities over octaves
    float centroidHz = 0;                   // spectral centroid
    float voicing = 0;                      // peak of the normalised autocorrelation, 60-400 Hz lags
    float pitchHz = 0;                      // lag of that peak, 0 when there is none
    float lowPeriodicity = 0;               // same in 25-60 Hz lags (snoring flutter)
    float detailCorrelation = 0;            // fine spectral structure kept from two frames back
    float fluxDb = 0;                       // mean positive change of band levels since the last frame
    std::array<float, kSubBlocks> subDb{};  // energies of the four 7.5 ms blocks at the frame's centre
};

} // namespace mirl::classifier
