#include "tests/support/LiveDetector.h"

#include "detect/classifier/FeatureSoundClassifier.h"

namespace mirl::test {

LiveDetector::LiveDetector(EventSink* sink) {
    detector = std::make_unique<SleepDetector>(
        SleepDetector::Deps{clock, scheduler, sink != nullptr ? *sink : events, settings, console, engine,
                            inputs, activity, audio, analysis, band, recorder,
                            aacFileFactory(CaptureRecorder::bitRate, AacCoder::fast)},
        std::make_unique<FeatureSoundClassifier>());
}

LiveDetector::~LiveDetector() {
    detector->stop();
}

} // namespace mirl::test
