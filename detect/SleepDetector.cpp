#include "detect/SleepDetector.h"

#include "core/settings/SettingsKeys.h"

#include <algorithm>

namespace mirl {

namespace {

// Mirrors a detector's published value into one of ours.
template <typename T> Handle mirror(Published<T>& from, Published<T>& to) {
    return from.subscribe([&to](const T& value) { to.set(value); });
}

} // namespace

SleepDetector::SleepDetector(Deps deps, std::unique_ptr<SoundClassifier> classifier)
    : deps_(std::move(deps)), chain_({deps_.clock, deps_.mainThread, deps_.events, deps_.activity,
                                      deps_.playback, deps_.analysisQueue, deps_.bandQueue},
                                     std::move(classifier)),
      recorder_(deps_.mainThread, deps_.recorderQueue, deps_.events, deps_.createRecording, parts_) {
    mirrors_.push_back(mirror(chain_.phase().phase, phase));
    mirrors_.push_back(mirror(chain_.phase().phaseConfidence, phaseConfidence));
    mirrors_.push_back(mirror(chain_.phase().topLabel, topLabel));
    mirrors_.push_back(mirror(chain_.phase().topConfidence, topConfidence));
    mirrors_.push_back(mirror(chain_.breath().rpm, breathRpm));
    mirrors_.push_back(mirror(chain_.breath().hasReading, breathHasReading));
    mirrors_.push_back(mirror(chain_.breath().regularitySleepAt, breathRegularityAsleepAt));
    mirrors_.push_back(mirror(chain_.band().asleepAt, breathBandAsleepAt));
}

SleepDetector::~SleepDetector() {
    // No tap may run into a detector being taken apart.
    deps_.engine.removeTap();
    deps_.engine.stop();
}

std::optional<std::string> SleepDetector::start(std::optional<std::filesystem::path> recordingPath) {
    if (running_) {
        stop(); // a second start begins a new capture rather than stacking on the running one
    }
    checkMicrophoneAuthorization();
    parts_.begin(recordingPath);
    applyPreferredInput();
    // The chain is ready before the first buffer can arrive; a failed start stops it again.
    chain_.start({deps_.settings.readBool(keys::detectorBreathRpmEnabled, true),
                  deps_.settings.readBool(keys::detectorBreathBandEnabled, true)});
    if (auto error = startPipeline(recordingPath, false)) {
        chain_.stop();
        recorder_.close();
        parts_.clear();
        return error;
    }
    installObservers();
    running_ = true;
    startedAt_ = deps_.clock.now();
    return std::nullopt;
}

void SleepDetector::stop() {
    running_ = false;
    pendingRestart_.cancel();
    retry_.cancel();
    retryDelaySeconds_ = firstRetrySeconds;
    removeObservers();
    deps_.engine.removeTap();
    deps_.engine.stop();
    recorder_.close();
    chain_.stop();
    parts_.clear();
}

void SleepDetector::checkMicrophoneAuthorization() {
    // Linux has no per-application microphone permission: the capture is always allowed.
    deps_.events.log("mic_authorization", {{"status", "authorized"}});
}

void SleepDetector::applyPreferredInput() {
    const std::string uid = deps_.settings.readString(keys::detectorPreferredInputDeviceUid, "");
    if (uid.empty()) {
        deps_.events.log("audio_input_pref", {{"mode", "system_default"}});
        return;
    }
    const auto device = deps_.inputs.findInputDevice(uid);
    if (!device) {
        deps_.events.log("audio_input_pref", {{"mode", "preferred_missing"}, {"wanted_uid", uid}});
        return;
    }
    const auto previous = deps_.inputs.setDefaultInputDevice(*device);
    if (!previous) {
        // The device was listed but the switch failed: say so rather than "applied".
        deps_.events.log("audio_input_pref", {{"mode", "preferred_switch_failed"},
                                              {"device_name", device->name},
                                              {"device_uid", device->uid}});
        return;
    }
    deps_.events.log("audio_input_pref", {{"mode", "preferred_applied"},
                                          {"device_name", device->name},
                                          {"device_uid", device->uid},
                                          {"previous_id", static_cast<std::uint32_t>(*previous)}});
}

void SleepDetector::step(const char* name) {
    deps_.events.log("audio_pipeline_step", {{"step", name}});
}

std::optional<std::string> SleepDetector::startPipeline(std::optional<std::filesystem::path> location,
                                                        bool restart) {
    CaptureEngine& engine = deps_.engine;
    step("before_input_node");
    step("after_input_node");
    // A raw PulseAudio source has no voice processing to switch off: both flags stay false.
    const CaptureFormat format = engine.tapFormat();
    deps_.events.log("audio_mode", {{"voice_processing_disabled", false},
                                    {"voice_processing_touched", false},
                                    {"tap_sample_rate", format.sampleRate},
                                    {"tap_channels", format.channels},
                                    {"restart", restart}});

    chain_.resetFormat();
    recorder_.beginBuild(std::move(location));
    engine.removeTap();
    // The destructor removes the tap before anything goes, so the tap may hold `this`.
    if (auto refused = engine.installTap([this](const CaptureEngine::Buffer& b) { onTap(b); })) {
        deps_.events.log("audio_pipeline_install_tap_failed",
                         {{"error", refused->empty() ? "unknown" : *refused}});
        return "installTap threw: " + (refused->empty() ? std::string("?") : *refused);
    }

    if (auto error = engine.start()) {
        deps_.events.log("audio_engine_start_failed", {{"error", *error}, {"will_retry", true}});
        engine.reset();
        if (auto again = engine.start()) {
            return again;
        }
        deps_.events.log("audio_engine_start_retry_ok");
    }

    const auto source = engine.currentSource();
    const CaptureFormat now = engine.tapFormat();
    deps_.events.log("audio_input", {{"device_name", source ? source->description : "unknown"},
                                     {"device_uid", source ? source->name : "unknown"},
                                     {"sample_rate", now.sampleRate},
                                     {"channels", now.channels}});
    return std::nullopt;
}

void SleepDetector::onTap(const CaptureEngine::Buffer& buffer) {
    const auto channels = static_cast<std::size_t>(std::max(buffer.format.channels, 0));
    const float* channel0 = nullptr;
    if (buffer.interleaved != nullptr && channels == 1) {
        channel0 = buffer.interleaved;
    } else if (buffer.interleaved != nullptr && channels > 1) {
        channel0_.resize(buffer.frames);
        for (std::size_t i = 0; i < buffer.frames; ++i) {
            channel0_[i] = buffer.interleaved[i * channels];
        }
        channel0 = channel0_.data();
    }
    const CapturedBuffer captured{channel0, buffer.frames, buffer.format.sampleRate, buffer.format.channels,
                                  buffer.sampleTime};
    chain_.handleBuffer(captured);
    recorder_.append(captured);
}

} // namespace mirl
