#pragma once

#include "platform/OutputPlaybackProbe.h"

namespace mirl {

/// Answers what the test sets and counts the questions.
class FakeOutputPlaybackProbe final : public OutputPlaybackProbe {
public:
    bool isOutputAudioPlaying() override {
        ++queries;
        return playing;
    }

    bool playing = false;
    int queries = 0;
};

} // namespace mirl
