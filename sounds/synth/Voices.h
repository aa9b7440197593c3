#pragma once

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace mirl::synth {

constexpr int kRate = 48000;

/// Renders `seconds` of a voice into a buffer (mono, roughly -1..1, level fixed later).
using Voice = std::function<std::vector<float>(double seconds, std::mt19937& random)>;

struct Voicing {
    std::string name;   // the file name without extension
    double loopSeconds; // the length of one loop
    Voice render;
};

/// The five wake sounds.
std::vector<Voicing> wakeVoices();

/// One loop of `voice`: renders two loop lengths and a crossfade, keeps the second loop (so that
/// sounds ringing over from before are present at the start) and blends the audio that follows
/// the loop into its first second: the end then runs on into the start without a seam.
std::vector<float> renderLoop(const Voicing& voice, unsigned seed);

} // namespace mirl::synth
