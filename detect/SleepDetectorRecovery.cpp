// The pipeline recovery half of SleepDetector: watching for changes under the capture and
// rebuilding the pipeline.

#include "detect/SleepDetector.h"

#include <algorithm>

namespace mirl {

namespace {

const char* reasonOf(CaptureChange change) {
    return change == CaptureChange::defaultSourceChanged ? "default_input_changed" : "engine_config_change";
}

} // namespace

void SleepDetector::installObservers() {
    if (!changeWatch_.active()) {
        changeWatch_ = deps_.engine.watchChanges(
            lifetime_.guard([this](CaptureChange change) { handlePipelineChange(reasonOf(change)); }));
    }
}

void SleepDetector::removeObservers() {
    changeWatch_.cancel();
}

void SleepDetector::handlePipelineChange(const std::string& reason) {
    if (!running_) {
        return;
    }
    const double elapsed = secondsBetween(startedAt_, deps_.clock.now());
    if (elapsed < startupGracePeriodSeconds) {
        deps_.events.log("audio_pipeline_change_ignored",
                         {{"reason", reason}, {"grace_seconds_left", startupGracePeriodSeconds - elapsed}});
        return;
    }
    deps_.events.log("audio_pipeline_change", {{"reason", reason}});
    schedulePending(toDuration(debounceSeconds), reason);
}

void SleepDetector::schedulePending(Duration delay, const std::string& reason) {
    pendingRestart_ = deps_.mainThread.after(delay, lifetime_.guard([this, reason] {
        pendingRestart_.release(); // it has run: nothing pending any more
        restartPipeline(reason);
    }));
}

void SleepDetector::restartPipeline(const std::string& reason) {
    if (!running_) {
        return;
    }
    const TimePoint now = deps_.clock.now();
    if (lastRestartAt_ && secondsBetween(*lastRestartAt_, now) < restartCooldownSeconds) {
        // Too soon after the last rebuild, which may not have seen this change: rebuild again
        // when the cooldown ends rather than leave the capture on the old input.
        const TimePoint due = *lastRestartAt_ + toDuration(restartCooldownSeconds);
        deps_.events.log("audio_pipeline_restart_deferred",
                         {{"reason", reason}, {"delay_seconds", secondsBetween(now, due)}});
        schedulePending(due - now, reason);
        return;
    }
    pendingRestart_.cancel(); // this rebuild answers any change still waiting
    lastRestartAt_ = now;
    deps_.events.log("audio_pipeline_restart_begin", {{"reason", reason}});

    deps_.engine.removeTap();
    deps_.engine.stop();
    recorder_.close();
    chain_.resetFormat();

    const auto location = parts_.advance();
    if (auto error = startPipeline(location, true)) {
        deps_.events.log("audio_pipeline_restart_failed", {{"error", *error}});
        deps_.console.line("Mirl: pipeline restart failed: " + *error);
        scheduleRetry();
        return;
    }
    retry_.cancel();
    retryDelaySeconds_ = firstRetrySeconds;
    deps_.events.log("audio_pipeline_restart_ok",
                     {{"new_recording", location ? location->filename().string() : "(none)"}});
}

void SleepDetector::scheduleRetry() {
    // A broken pipeline (no sound server, no input) is tried again, less and less often, until it
    // works; an accepted change in between tries at once.
    const double delay = retryDelaySeconds_;
    retryDelaySeconds_ = std::min(retryDelaySeconds_ * 2, maxRetrySeconds);
    retry_ = deps_.mainThread.after(toDuration(delay), lifetime_.guard([this] {
        retry_.release();
        restartPipeline("retry_after_failure");
    }));
}

} // namespace mirl
