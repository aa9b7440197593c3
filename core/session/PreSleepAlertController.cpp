#include "core/session/PreSleepAlertController.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mirl {

std::string alertCountdownText(double secondsLeft) {
    const long long s = std::isnan(secondsLeft) ? 0 : static_cast<long long>(std::ceil(secondsLeft));
    const long long shown = std::max(s, 0LL);
    char text[64];
    std::snprintf(text, sizeof text, "sleep in %lld:%02lld", shown / 60, shown % 60);
    return text;
}

PreSleepAlertController::PreSleepAlertController(AlertPanel& panel, const Clock& clock, Scheduler& scheduler,
                                                 EventSink& events)
    : panel_(panel), clock_(clock), scheduler_(scheduler), events_(events) {}

void PreSleepAlertController::show(double remainingSeconds) {
    const double remaining = std::isfinite(remainingSeconds) ? remainingSeconds : 0.0;
    deadline_ = addSeconds(clock_.now(), remaining);
    if (shown_) {
        refresh();
        return;
    }
    panel_.open();
    shown_ = true;
    // The handle belongs to the controller: destroying it stops the countdown.
    countdownTimer_ = scheduler_.every(countdownPeriod, [this] { refresh(); });
    events_.log("prewarn_shown", {{"remaining_sec", static_cast<long long>(remaining)}});
    refresh();
}

void PreSleepAlertController::refresh() {
    if (!deadline_)
        return;
    const double left = secondsBetween(clock_.now(), *deadline_);
    text_ = alertCountdownText(left);
    panel_.setCountdownText(text_);
    if (std::ceil(left) < 1)
        dismiss();
}

void PreSleepAlertController::dismiss() {
    countdownTimer_.cancel();
    if (shown_)
        panel_.close();
    shown_ = false;
    deadline_.reset();
    text_.clear();
}

void PreSleepAlertController::extendTapped(int minutes) {
    if (!shown_)
        return;
    events_.log("prewarn_extend_clicked", {{"minutes", static_cast<long long>(minutes)}});
    if (onExtend)
        onExtend(minutes);
    dismiss();
}

void PreSleepAlertController::sleepNowTapped() {
    if (!shown_)
        return;
    events_.log("prewarn_sleep_now_clicked", EventPayload::object());
    dismiss();
    if (onSleepNow)
        onSleepNow();
}

} // namespace mirl
