#pragma once

#include <array>

namespace mirl::classifier {

/// Analysis constants shared by the frame analyzer and the window aggregation.
inline constexpr int kAnalysisRate = 16000; // Hz: every capture rate is resampled to this
inline constexpr int kFrameLength = 1024;   // samples (64 ms), Hann window
inline constexpr int kFftSize = 2048;       // zero-padded, so the autocorrelation does not wrap
inline constexpr int kHop = 480;            // samples (30 ms) between frames
inline constexpr int kSubBlocks = 4;        // energy sub-blocks per hop (7.5 ms each)
inline constexpr int kBandCount = 7;
/// Band edges in Hz: 0-250-500-1000-2000-3400-5500-8000. Bands 1-4 (250-3400 Hz) are the speech
/// band that even a telephone line or a headset microphone carries; shape features are measured
/// there so that they do not change when a source is band-limited.
inline constexpr std::array<float, kBandCount + 1> kBandEdgesHz{0, 250, 500, 1000, 2000, 3400, 5500, 8000};
inline constexpr int kSpeechBandFirst = 1;
inline constexpr int kSpeechBandLast = 4;
/// Frame energies below this are digital silence (exact zeros, or dither at most).
inline constexpr float kSilenceFloorDb = -100.0f;

/// What one 64 ms frame says about the sound.
struct FrameFeatures {
    float energyDb = kSilenceFloorDb;       // mean square of the frame, dB re full scale (floored)
    std::array<float, kBandCount> bandDb{}; // energy per band, dB re full scale (floored)
    float flatness = 0;                     // spectral flatness 250-3400 Hz, 0 (tonal) .. 1 (white)
    float slopeDbPerOctave = 0;             // regression of the band densities over octaves, 250-3400 Hz
    float centroidHz = 0;                   // spectral centroid below 3400 Hz
    float voicing = 0;                      // peak of the normalised autocorrelation, 60-400 Hz lags
    float pitchHz = 0;                      // lag of that peak, 0 when there is none
    float lowPeriodicity = 0;               // same in 25-60 Hz lags (snoring flutter)
    float detailCorrelation = 0;            // fine spectral structure kept from two frames back
    float fluxDb = 0; // mean positive change of the speech-band levels since the last frame
    std::array<float, kSubBlocks> subDb{}; // energies of the four 7.5 ms blocks at the frame's centre
};

} // namespace mirl::classifier
