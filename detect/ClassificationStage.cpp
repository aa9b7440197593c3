#include "detect/ClassificationStage.h"

#include <atomic>

namespace mirl {

struct ClassificationStage::Core {
    Core(Scheduler& main, std::unique_ptr<SoundClassifier> c) : mainThread(main), classifier(std::move(c)) {}
    Scheduler& mainThread;
    std::unique_ptr<SoundClassifier> classifier;
    std::atomic<bool> active{false};
    // Guarded by the stage's lifetime; called on the main thread only.
    std::function<void(std::string, double, std::vector<LabelConfidence>)> deliver;
};

ClassificationStage::ClassificationStage(Scheduler& mainThread, Executor& analysisQueue,
                                         std::unique_ptr<SoundClassifier> classifier, PhaseClassifier& phase)
    : analysisQueue_(analysisQueue), core_(std::make_shared<Core>(mainThread, std::move(classifier))) {
    core_->deliver =
        lifetime_.guard([&phase](std::string label, double confidence, std::vector<LabelConfidence> top) {
            phase.handleClassification(label, confidence, top);
        });
}

ClassificationStage::~ClassificationStage() {
    core_->active = false;
}

void ClassificationStage::restart() {
    core_->active = true;
    analysisQueue_.submit([weak = std::weak_ptr<Core>(core_)] {
        if (auto core = weak.lock())
            core->classifier->reset();
    });
}

void ClassificationStage::clear() {
    core_->active = false;
}

void ClassificationStage::process(const CapturedBuffer& buffer) {
    // A buffer without a usable rate cannot be placed in the classifier's stream.
    if (!buffer.hasFloatData() || buffer.frames == 0 || !(buffer.sampleRate > 0) || !core_->active)
        return;
    auto samples = buffer.samples();
    analysisQueue_.submit([weak = std::weak_ptr<Core>(core_),
                           copy = std::vector<float>(samples.begin(), samples.end()),
                           rate = buffer.sampleRate] {
        auto core = weak.lock();
        if (!core || !core->active)
            return;
        core->classifier->process(copy, rate, [&core](const ClassificationResult& result) {
            auto top = topThree(result);
            if (top.empty())
                return;
            core->mainThread.post([deliver = core->deliver, top = std::move(top)] {
                deliver(top.front().label, top.front().confidence, top);
            });
        });
    });
}

std::vector<LabelConfidence> ClassificationStage::topThree(const ClassificationResult& result) {
    std::vector<LabelConfidence> top(result.labels.begin(),
                                     result.labels.begin() + std::min<std::size_t>(3, result.labels.size()));
    return top;
}

} // namespace mirl
