#pragma once

namespace mirl {

/// Whether sound is being played on the computer by another application.
class OutputPlaybackProbe {
public:
    virtual ~OutputPlaybackProbe() = default;
    /// True while some output device plays a stream of another process; false on any failure.
    virtual bool isOutputAudioPlaying() = 0;
};

} // namespace mirl
