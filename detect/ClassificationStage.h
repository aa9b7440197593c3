#pragma once

#include "detect/CapturedBuffer.h"
#include "detect/PhaseClassifier.h"
#include "detect/SoundClassifier.h"
#include "runtime/Executor.h"
#include "runtime/Lifetime.h"
#include "runtime/Scheduler.h"

#include <memory>
#include <vector>

namespace mirl {

/// Feeds the sound classifier on the analysis queue, in capture order, and hands each result's
/// top three to the phase classification on the main thread.
///
/// Thread rule: process() runs on the capture thread and only copies channel 0 before queueing.
/// The classifier lives on the analysis queue (its state is reached only from queued work,
/// which holds it weakly). restart() and clear() may be called from any thread; results are
/// delivered on the main thread, and not at all once this object is gone.
class ClassificationStage {
public:
    ClassificationStage(Scheduler& mainThread, Executor& analysisQueue,
                        std::unique_ptr<SoundClassifier> classifier, PhaseClassifier& phase);
    ~ClassificationStage();
    ClassificationStage(const ClassificationStage&) = delete;
    ClassificationStage& operator=(const ClassificationStage&) = delete;

    /// A new capture format: a fresh classifier stream starting at time 0.
    void restart();
    /// No classifier stream: buffers queued from now on are dropped until restart().
    void clear();
    void process(const CapturedBuffer& buffer);

    /// The first three classifications of a result, in order (fewer if fewer).
    static std::vector<LabelConfidence> topThree(const ClassificationResult& result);

private:
    struct Core;
    Executor& analysisQueue_;
    std::shared_ptr<Core> core_;
    Lifetime lifetime_;
};

} // namespace mirl
