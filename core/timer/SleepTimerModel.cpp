#include "core/timer/SleepTimerModel.h"

#include "core/settings/SettingsKeys.h"
#include "runtime/LocalTime.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mirl {

namespace {

long long roundedUpSeconds(double seconds) {
    return static_cast<long long>(std::ceil(std::max(0.0, seconds)));
}

} // namespace

SleepTimerModel::SleepTimerModel(const Clock& clock, Scheduler& scheduler, const Settings& settings,
                                 EventSink& events, Power& power, Console& console)
    : now(clock.now()), clock_(clock), scheduler_(scheduler), settings_(settings), events_(events),
      power_(power), console_(console) {}

MirlMode SleepTimerModel::resolveMode(TimePoint t, MirlMode choice) const {
    if (choice != MirlMode::automatic)
        return choice;
    const int hour = localCalendar(t).tm_hour;
    const int dayStart = settings_.readInt(keys::modeAutoDayStartHour, 11);
    const int nightStart = settings_.readInt(keys::modeAutoNightStartHour, 19);
    return hour >= dayStart && hour < nightStart ? MirlMode::nap : MirlMode::night;
}

void SleepTimerModel::start(int minutes) {
    const double seconds = static_cast<double>(static_cast<long long>(minutes) * 60);
    const TimePoint t = clock_.now();
    const MirlMode choice = parseMirlMode(settings_.readString(keys::modeTimerMode, "auto"));
    mode_ = resolveMode(t, choice);
    didWake_ = false;
    totalDuration.set(seconds);
    now.set(t);
    endDate.set(addSeconds(t, seconds));
    didWarn_ = seconds <= settings_.readInt(keys::systemPrewarnLeadSec, 60);
    startTicker();
}

void SleepTimerModel::startTicker() {
    ticker_ = scheduler_.every(std::chrono::seconds(1), [this] { tick(); });
}

void SleepTimerModel::tick() {
    now.set(clock_.now());
    if (remaining() <= 0) {
        fire();
        return;
    }
    if (mode_ == MirlMode::nap && !didWake_) {
        const int lead = settings_.readInt(keys::modeNapWakeLeadSec, 180);
        if (remaining() <= lead) {
            didWake_ = true;
            const double left = remaining();
            events_.log("nap_wake_begin",
                        {{"remaining_sec", static_cast<long long>(left)}, {"wake_lead_sec", lead}});
            if (onShouldWake)
                onShouldWake(left);
        }
    }
    if (mode_ == MirlMode::night && !didWarn_ && settings_.readBool(keys::systemPrewarnEnabled, true)) {
        const int lead = settings_.readInt(keys::systemPrewarnLeadSec, 60);
        if (remaining() <= lead) {
            didWarn_ = true;
            const double left = remaining();
            events_.log("timer_prewarn",
                        {{"remaining_sec", static_cast<long long>(left)}, {"lead_sec", lead}});
            if (onShouldWarn)
                onShouldWarn(left);
        }
    }
}

void SleepTimerModel::extend(int minutes) {
    const auto end = endDate.get();
    if (!end) {
        start(minutes);
        return;
    }
    const double seconds = static_cast<double>(static_cast<long long>(minutes) * 60);
    endDate.set(addSeconds(*end, seconds));
    totalDuration.set(totalDuration.get() + seconds);
    didWarn_ = false;
    const double newRemaining = std::max(0.0, secondsBetween(now.get(), *endDate.get()));
    events_.log("timer_extended",
                {{"extra_minutes", minutes}, {"new_remaining_sec", static_cast<long long>(newRemaining)}});
}

void SleepTimerModel::cancel() {
    endDate.set(std::nullopt);
    totalDuration.set(0.0);
    didWarn_ = false;
    didWake_ = false;
    ticker_.cancel();
}

void SleepTimerModel::fire() {
    const bool willSleep = mode_ == MirlMode::night && settings_.readBool(keys::systemSleepOnFire, true);
    events_.log("timer_fired", {{"will_sleep", willSleep}, {"mode", std::string(rawValue(mode_))}});
    cancel();
    if (onBeforeSystemSleep)
        onBeforeSystemSleep();
    events_.log("baseline_restored",
                {{"reason", willSleep ? "before_system_sleep_at_timer_fired" : "timer_fired_no_sleep"}});
    if (willSleep) {
        // Deliberately not tied to this model: the computer sleeps even if a new timer starts
        // within the half second.
        scheduler_
            .after(std::chrono::milliseconds(500),
                   [&power = power_, &console = console_] {
                       if (auto failure = power.suspend())
                           console.line("Mirl: suspend failed: " + *failure);
                   })
            .release();
    }
}

double SleepTimerModel::remaining() const {
    const auto end = endDate.get();
    if (!end)
        return 0.0;
    return std::max(0.0, secondsBetween(now.get(), *end));
}

double SleepTimerModel::progress() const {
    const double total = totalDuration.get();
    if (total <= 0)
        return 0.0;
    return std::clamp(1.0 - remaining() / total, 0.0, 1.0);
}

std::string SleepTimerModel::remainingText() const {
    const long long n = roundedUpSeconds(remaining());
    char buf[96];
    if (n < 3600)
        std::snprintf(buf, sizeof buf, "%02lld:%02lld", (n % 3600) / 60, n % 60);
    else
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", n / 3600, (n % 3600) / 60, n % 60);
    return buf;
}

std::string SleepTimerModel::shortRemainingText() const {
    const long long n = roundedUpSeconds(remaining());
    char buf[96];
    std::snprintf(buf, sizeof buf, "%lld:%02lld", n / 60, n % 60);
    return buf;
}

} // namespace mirl
