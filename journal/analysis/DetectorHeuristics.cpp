// The heuristics that restate offline what the live detectors concluded.

#include "journal/NumberText.h"
#include "journal/analysis/Heuristics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace mirl::heuristics {

namespace {

using Kind = HeuristicVerdict::Kind;

HeuristicResult makeResult(std::string id, std::string displayName, std::string seriesLabel, double yMax) {
    HeuristicResult result;
    result.id = std::move(id);
    result.displayName = std::move(displayName);
    result.rawSeriesLabel = std::move(seriesLabel);
    result.yMin = 0;
    result.yMax = yMax;
    return result;
}

void emit(HeuristicResult& result, VerdictIds& ids, double t, Kind kind, double score, std::string detail) {
    result.verdicts.push_back({ids.next(), t, kind, score, std::move(detail)});
}

bool isOneOf(std::string_view label, std::span<const std::string_view> labels) {
    return std::find(labels.begin(), labels.end(), label) != labels.end();
}

constexpr std::array<std::string_view, 5> kSnoreLabels{"snoring", "fowl", "goose_honk", "dog_growl",
                                                       "snake_hiss"};
constexpr std::array<std::string_view, 6> kWakeLabels{"speech", "laughter", "chatter",
                                                      "babble", "typing",   "typing_computer_keyboard"};

int phaseLevel(std::string_view phase) {
    if (phase == "calming")
        return 1;
    if (phase == "asleep")
        return 2;
    if (phase == "deep_asleep")
        return 3;
    return 0;
}

struct Sample {
    double t;
    double value;
};

/// (tFromStart, value) of every event of `type` with a numeric `key`, each also a series point.
std::vector<Sample> numericSamples(std::span<const SessionEvent> events, std::string_view type,
                                   std::string_view key, HeuristicResult& result) {
    std::vector<Sample> samples;
    for (const auto& event : events) {
        if (event.type != type)
            continue;
        if (auto value = event.fields.number(key)) {
            samples.push_back({event.tFromStart, *value});
            result.rawSeries.push_back({event.tFromStart, *value, std::nullopt});
        }
    }
    return samples;
}

} // namespace

std::vector<double> grid(double durationSeconds, double minimumStepSeconds) {
    std::vector<double> times;
    if (!std::isfinite(durationSeconds) || durationSeconds < 0)
        return times;
    const double step = std::max(durationSeconds / 200.0, minimumStepSeconds);
    // Multiples of the step rather than a running sum, so that a duration that is a multiple of
    // the step keeps its last grid time whatever the rounding of the additions.
    for (std::size_t i = 0;; ++i) {
        const double t = static_cast<double>(i) * step;
        if (t > durationSeconds * (1 + 1e-12))
            break;
        times.push_back(std::min(t, durationSeconds));
    }
    return times;
}

HeuristicResult phase(std::span<const SessionEvent> events, VerdictIds& ids) {
    auto result =
        makeResult("phase", "Phase SoundAnalysis (live)", "Niveau de phase (awake=0 \u2192 deep=3)", 3);
    for (const auto& event : events) {
        if (event.type != "phase_transition")
            continue;
        const std::string* to = event.fields.text("to");
        const auto confidence = event.fields.number("confidence");
        if (to == nullptr || !confidence)
            continue;
        result.rawSeries.push_back({event.tFromStart, static_cast<double>(phaseLevel(*to)), *to});
        const Kind kind = (*to == "asleep" || *to == "deep_asleep") ? Kind::asleep
                          : *to == "calming"                        ? Kind::calming
                                                                    : Kind::awake;
        emit(result, ids, event.tFromStart, kind, *confidence, "\u2192 " + *to);
    }
    return result;
}

HeuristicResult snoringStreak(std::span<const SessionEvent> events, double durationSeconds, VerdictIds& ids) {
    auto result = makeResult("snoring_streak", "Snoring streak (30s)", "Ratio snoring", 1);
    struct Taken {
        double t;
        bool snore;
        bool wake;
    };
    std::vector<Taken> taken;
    for (const auto& event : events) {
        if (event.type != "classification" || event.fields.boolean("counted") != true)
            continue;
        const std::string* label = event.fields.text("label");
        const std::string* effective = event.fields.text("effective_label");
        const std::string_view snoreLabel = effective ? *effective : label ? *label : std::string_view();
        taken.push_back({event.tFromStart, isOneOf(snoreLabel, kSnoreLabels),
                         label != nullptr && isOneOf(*label, kWakeLabels)});
    }
    // The window's counts do not depend on file order, so sort once and count by prefix sums.
    std::sort(taken.begin(), taken.end(), [](const Taken& a, const Taken& b) { return a.t < b.t; });
    std::vector<int> snoresBefore{0}, wakesBefore{0};
    for (const auto& e : taken) {
        snoresBefore.push_back(snoresBefore.back() + (e.snore ? 1 : 0));
        wakesBefore.push_back(wakesBefore.back() + (e.wake ? 1 : 0));
    }
    Kind state = Kind::awake;
    for (double t : grid(durationSeconds, 2.0)) {
        const auto from = std::lower_bound(taken.begin(), taken.end(), t - 30,
                                           [](const Taken& e, double v) { return e.t < v; });
        const auto to =
            std::upper_bound(taken.begin(), taken.end(), t, [](double v, const Taken& e) { return v < e.t; });
        const auto lo = static_cast<std::size_t>(from - taken.begin());
        const auto hi = std::max(lo, static_cast<std::size_t>(to - taken.begin()));
        const int snore = snoresBefore[hi] - snoresBefore[lo];
        const int wake = wakesBefore[hi] - wakesBefore[lo];
        const double ratio = hi > lo ? static_cast<double>(snore) / static_cast<double>(hi - lo) : 0.0;
        result.rawSeries.push_back({t, ratio, std::nullopt});
        Kind next = state;
        if (snore >= 3 && wake == 0)
            next = Kind::asleep;
        else if (wake >= 2)
            next = Kind::awake;
        if (next != state) {
            state = next;
            emit(result, ids, t, state, ratio,
                 "snore=" + std::to_string(snore) + " wake=" + std::to_string(wake) + " /30s");
        }
    }
    return result;
}

HeuristicResult rpmDrop(std::span<const SessionEvent> events, VerdictIds& ids) {
    auto result = makeResult("rpm_drop", "", "Breaths / min", 25);
    const auto samples = numericSamples(events, "breath_estimate", "rpm", result);

    double early = 0;
    int earlyCount = 0;
    double highest = -INFINITY;
    for (const auto& s : samples) {
        if (s.t <= 180) {
            early += s.value;
            ++earlyCount;
        }
        highest = std::max(highest, s.value);
    }
    const double baseline = earlyCount >= 5 ? early / earlyCount : 14.0;
    result.displayName = "RPM drop (baseline " + fixedText(baseline, 1) + ")";
    if (!samples.empty())
        result.yMax = std::max(25.0, highest + 2);

    Kind state = Kind::awake;
    std::optional<double> runStart;
    for (const auto& [t, rpm] : samples) {
        if (rpm < 0.8 * baseline) {
            if (!runStart)
                runStart = t;
            if (state == Kind::awake && t - *runStart >= 60) {
                const double drop = baseline < 1 ? baseline - rpm : (baseline - rpm) / baseline;
                emit(result, ids, t, Kind::asleep, std::clamp(drop, 0.0, 1.0),
                     "rpm " + fixedText(rpm, 1) + " < baseline " + fixedText(baseline, 1));
                state = Kind::asleep;
            }
        } else {
            runStart.reset();
            if (rpm > 1.1 * baseline && state == Kind::asleep) {
                emit(result, ids, t, Kind::awake, 0.6,
                     "rpm " + fixedText(rpm, 1) + " > baseline " + fixedText(baseline, 1));
                state = Kind::awake;
            }
        }
    }
    return result;
}

HeuristicResult rmsDrop(std::span<const SessionEvent> events, VerdictIds& ids) {
    auto result = makeResult("rms_drop", "", "Avg RMS / min", 0.0011);
    const auto samples = numericSamples(events, "telemetry", "avg_rms", result);

    double baseline = 0.001;
    if (!samples.empty()) {
        const std::size_t first = std::min<std::size_t>(5, samples.size());
        double sum = 0;
        for (std::size_t i = 0; i < first; ++i)
            sum += samples[i].value;
        baseline = sum / static_cast<double>(first);
        double highest = -INFINITY;
        for (const auto& s : samples)
            highest = std::max(highest, s.value);
        result.yMax = std::max(1.1 * highest, 0.001);
    }
    result.displayName = "RMS drop (baseline " + fixedText(baseline, 5) + ")";

    Kind state = Kind::awake;
    for (const auto& [t, rms] : samples) {
        const double drop = baseline > 0 ? (baseline - rms) / baseline : 0.0;
        if (drop > 0.4 && state == Kind::awake) {
            emit(result, ids, t, Kind::asleep, std::min(drop, 1.0),
                 "rms " + fixedText(rms, 5) + " vs base " + fixedText(baseline, 5) + " (-" +
                     fixedText(drop * 100, 0) + "%)");
            state = Kind::asleep;
        } else if (drop < 0.1 && state == Kind::asleep) {
            emit(result, ids, t, Kind::awake, 0.6, "rms back up to " + fixedText(rms, 5));
            state = Kind::awake;
        }
    }
    return result;
}

HeuristicResult userIdle(std::span<const SessionEvent> events, VerdictIds& ids) {
    auto result = makeResult("user_idle", "User idle (proxy)", "Idle (s)", 300);
    const auto samples = numericSamples(events, "telemetry", "user_idle_seconds", result);
    Kind state = Kind::awake;
    for (const auto& [t, idle] : samples) {
        result.yMax = std::max(result.yMax, idle);
        if (idle > 300 && state == Kind::awake) {
            emit(result, ids, t, Kind::asleep, std::min(idle / 900, 1.0), "idle " + fixedText(idle, 0) + "s");
            state = Kind::asleep;
        } else if (idle < 30 && state == Kind::asleep) {
            emit(result, ids, t, Kind::awake, 0.8, "interaction detected");
            state = Kind::awake;
        }
    }
    return result;
}

HeuristicResult breathBand(std::span<const SessionEvent> events, VerdictIds& ids) {
    auto result = makeResult("breathband_tuned", "BreathBand 50-800Hz + preEmph (offline-tuned)",
                             "Baseline RMS (band-passed)", 0.012);
    std::optional<double> baseline;
    std::optional<double> highest;
    for (const auto& event : events) {
        if (event.type == "breathband_baseline") {
            if (auto value = event.fields.number("baseline")) {
                result.rawSeries.push_back({event.tFromStart, *value, std::string("baseline")});
                baseline = value;
                highest = std::max(highest.value_or(*value), *value);
            }
        } else if (event.type == "breathband_asleep") {
            const double rms = event.fields.number("rms_smoothed").value_or(0);
            const double target = event.fields.number("target").value_or(0);
            const double score =
                baseline ? std::clamp((*baseline - rms) / std::max(*baseline, 1e-9), 0.0, 1.0) : 0.5;
            emit(result, ids, event.tFromStart, Kind::asleep, score,
                 "rms " + fixedText(rms, 4) + " < target " + fixedText(target, 4));
        }
    }
    if (highest)
        result.yMax = std::max(1.2 * *highest, 0.01);
    return result;
}

} // namespace mirl::heuristics
