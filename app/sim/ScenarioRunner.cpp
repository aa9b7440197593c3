#include "app/sim/ScenarioRunner.h"

#include "platform/AudioFileReader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <stdexcept>

namespace mirl::sim {

namespace {

nlohmann::json optionalNumber(const std::optional<double>& v) {
    return v ? nlohmann::json(*v) : nlohmann::json();
}

/// Actions that still make sense while the computer sleeps: the world around it changes.
bool appliesWhileAsleep(const std::string& action) {
    for (const char* name :
         {"set_volume", "set_brightness", "media", "lux", "device_change", "system_wake", "quit"})
        if (action == name)
            return true;
    return false;
}

} // namespace

TimePoint scenarioStartTime(const std::string& dateTime) {
    const std::optional<ScenarioDateTime> t = parseScenarioDateTime(dateTime);
    if (!t)
        throw std::invalid_argument("not a date-time: " + dateTime);
    std::tm tm{};
    tm.tm_year = t->year - 1900;
    tm.tm_mon = t->month - 1;
    tm.tm_mday = t->day;
    tm.tm_hour = t->hour;
    tm.tm_min = t->minute;
    tm.tm_sec = t->second;
    tm.tm_isdst = -1;
    if (t->utcOffsetSeconds)
        return std::chrono::system_clock::from_time_t(::timegm(&tm) - *t->utcOffsetSeconds);
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

ScenarioRunner::ScenarioRunner(Scenario scenario, std::filesystem::path dataFolder)
    : scenario_(std::move(scenario)), dataFolder_(std::move(dataFolder)) {
    if (const char* tz = std::getenv("TZ")) {
        hadTz_ = true;
        previousTz_ = tz;
    }
    ::setenv("TZ", scenario_.timezone.c_str(), 1);
    ::tzset();
    try {
        std::filesystem::create_directories(dataFolder_);
        world_ = std::make_unique<SimWorld>(scenarioStartTime(scenario_.start), dataFolder_);
        prepare();
    } catch (...) {
        world_.reset();
        restoreZone();
        throw;
    }
}

ScenarioRunner::~ScenarioRunner() {
    world_.reset();
    restoreZone();
}

void ScenarioRunner::restoreZone() {
    if (hadTz_)
        ::setenv("TZ", previousTz_.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

void ScenarioRunner::prepare() {
    SimWorld& w = *world_;
    for (const auto& [key, value] : scenario_.settings)
        w.store.write(key, value);
    w.audio.outputs[w.audio.defaultOutput].volume = scenario_.volume;
    w.backlight.level = static_cast<float>(scenario_.brightness);
    w.probes.lux = scenario_.lux;
    w.probes.mediaPlaying = scenario_.mediaPlaying;
    w.probes.idleKnown = scenario_.idleSeconds.has_value();
    w.probes.lastInput = addSeconds(w.start, -scenario_.idleSeconds.value_or(0));
    w.stampedPower.onSuspend = [this] { fallAsleep(); };
    if (!scenario_.microphone) {
        w.microphone.playSilence();
    } else if (*scenario_.microphone == "none") {
        w.microphone.noDevice();
    } else {
        OpenedAudioFile file = openAudioFile(*scenario_.microphone);
        if (!file.reader)
            throw ScenarioError("microphone " + *scenario_.microphone + ": " + file.error);
        w.microphone.playFile(std::move(file.reader));
    }
    w.launch();
    w.scheduler.runDue();
}

void ScenarioRunner::runUntil(double seconds) {
    while (endedBy_.empty() && nextStep_ < scenario_.steps.size() &&
           scenario_.steps[nextStep_].at <= seconds) {
        const ScenarioStep& step = scenario_.steps[nextStep_++];
        advanceTo(step.at);
        apply(step);
    }
    if (endedBy_.empty())
        advanceTo(std::min(seconds, scenario_.until));
}

void ScenarioRunner::run() {
    runUntil(scenario_.until);
    if (endedBy_.empty())
        endedBy_ = "until";
    writeState();
}

void ScenarioRunner::advanceTo(double seconds) {
    VirtualScheduler& scheduler = world_->scheduler;
    const TimePoint target = addSeconds(world_->start, seconds);
    // One due time at a time, so that a suspend request stops everything after it.
    for (std::uint64_t n = 1; !asleep_; ++n) {
        const auto next = scheduler.nextDue();
        if (!next || *next > target)
            break;
        scheduler.advanceTo(*next);
        if (n % 65536 == 0)
            world_->forgetFakeHistory();
    }
    if (asleep_)
        scheduler.sleepThrough(target - scheduler.now());
    else
        scheduler.advanceTo(target);
    world_->forgetFakeHistory();
}

void ScenarioRunner::fallAsleep() {
    if (asleep_)
        return;
    // logind announces the sleep; Mirl's delay lock holds it until the detectors stopped.
    world_->orchestrator().systemWillSleep();
    asleep_ = true;
}

void ScenarioRunner::warn(const ScenarioStep& step, const std::string& text) {
    warnings_.push_back("step " + std::to_string(step.number) + " (" + step.action + "): " + text);
}

void ScenarioRunner::apply(const ScenarioStep& step) {
    SimWorld& w = *world_;
    SessionOrchestrator& session = w.orchestrator();
    const std::string& a = step.action;
    const nlohmann::json& f = step.fields;
    if (asleep_ && !appliesWhileAsleep(a)) {
        warn(step, "the computer is asleep; ignored");
        return;
    }
    if (a == "start") {
        session.startTimer(f["minutes"].get<int>());
    } else if (a == "extend") {
        session.extendTimer(f["minutes"].get<int>());
    } else if (a == "cancel") {
        session.cancelSession();
    } else if (a == "set_volume") {
        w.audio.changeVolume(w.audio.defaultOutput, f["percent"].get<int>());
    } else if (a == "set_brightness") {
        w.backlight.level = f["level"].get<float>();
    } else if (a == "input") {
        w.probes.lastInput = w.scheduler.now();
    } else if (a == "media") {
        w.probes.mediaPlaying = f["on"].get<bool>();
    } else if (a == "lux") {
        w.probes.lux = f["value"].is_null() ? std::nullopt : std::optional(f["value"].get<double>());
    } else if (a == "slider_ambiance") {
        session.ambianceSliderMoved(f["value"].get<double>());
    } else if (a == "slider_volume") {
        session.volumeSliderMoved(f["value"].get<double>());
    } else if (a == "autopilot") {
        if (f["channel"] == "ambiance")
            session.setAmbianceAutopilot(f["on"].get<bool>());
        else
            session.setVolumeAutopilot(f["on"].get<bool>());
    } else if (a == "switch_detection") {
        session.setDetectorEnabled(f["on"].get<bool>());
    } else if (a == "switch_autofade") {
        session.setAutoFadeEnabled(f["on"].get<bool>());
    } else if (a == "alert_extend" || a == "alert_sleep_now") {
        if (!w.engines().alert.isShown())
            warn(step, "no pre-sleep alert is shown; ignored");
        else if (a == "alert_extend")
            w.engines().alert.extendTapped(f["minutes"].get<int>());
        else
            w.engines().alert.sleepNowTapped();
    } else if (a == "system_sleep") {
        if (asleep_)
            warn(step, "the computer is asleep already; ignored");
        else
            fallAsleep();
    } else if (a == "system_wake") {
        if (!asleep_) {
            warn(step, "the computer is not asleep; ignored");
        } else {
            asleep_ = false;
            session.systemDidWake();
        }
    } else if (a == "device_change") {
        // A headset plugged in: a new default output (with its own volume) and a new default
        // input under the running capture.
        const std::uint32_t next = w.audio.defaultOutput + 1;
        const auto current = w.audio.outputs[w.audio.defaultOutput].volume;
        w.audio.outputs[next].volume = f.contains("volume") ? std::optional(f["volume"].get<int>()) : current;
        w.audio.switchDefaultOutput(next);
        w.microphone.announce(CaptureChange::defaultSourceChanged);
    } else if (a == "quit") {
        w.terminate();
        endedBy_ = "quit";
    }
    if (!asleep_)
        w.scheduler.runDue();
}

void ScenarioRunner::writeState() {
    SimWorld& w = *world_;
    SessionEngines& e = w.engines();
    SessionOrchestrator& session = e.orchestrator;

    nlohmann::json overlay = nlohmann::json::array();
    for (const auto& surface : w.surfaces.shown())
        overlay.push_back(
            {{"frame", {surface->frame.x, surface->frame.y, surface->frame.width, surface->frame.height}},
             {"orange", surface->orange},
             {"dark", surface->dark}});
    nlohmann::json restoreParts = nlohmann::json::array();
    for (const auto& [part, value] : w.restoreState.parts)
        restoreParts.push_back(part);
    const auto end = e.timer.endDate.get();
    const auto baseline = e.baseline.initialVolume();
    const auto volume = w.audio.outputs[w.audio.defaultOutput].volume;

    nlohmann::json state = {
        {"volume", volume ? nlohmann::json(*volume) : nlohmann::json()},
        {"output_device", w.audio.defaultOutput},
        {"brightness", w.backlight.level},
        {"gamma",
         {{"brightness", w.ramps.brightness},
          {"white_point", {w.ramps.whitePoint.red, w.ramps.whitePoint.green, w.ramps.whitePoint.blue}}}},
        {"night_light", {{"enabled", w.nightLight.enabled}, {"strength", w.nightLight.strength}}},
        {"overlay", overlay},
        {"idle_seconds", optionalNumber(w.probes.idleSeconds())},
        {"media_playing", w.probes.mediaPlaying},
        {"lux", optionalNumber(w.probes.lux)},
        {"suspend_calls", w.power.suspendCalls},
        {"wake_sound_playing", e.wakeSound.isPlaying()},
        {"alert_shown", e.alert.isShown()},
        {"timer",
         {{"running", e.timer.isRunning()},
          {"mode", std::string(rawValue(e.timer.mode()))},
          {"end_t", end ? nlohmann::json(secondsBetween(w.start, *end)) : nlohmann::json()}}},
        {"fader",
         {{"active", e.fader.isActive.get()},
          {"fading", e.fader.isFading.get()},
          {"ambiance", e.fader.ambiance.get()},
          {"volume", e.fader.volume.get()},
          {"ambiance_autopilot", e.fader.ambianceAutopilot.get()},
          {"volume_autopilot", e.fader.volumeAutopilot.get()}}},
        {"session",
         {{"ambiance", session.ambiance.get()},
          {"volume", session.volume.get()},
          {"orange_intensity", session.orangeIntensity.get()},
          {"darkness", session.darkness.get()},
          {"detector_enabled", session.detectorEnabled.get()},
          {"detector_running", session.detectorRunning.get()},
          {"auto_fade_enabled", session.autoFadeEnabled.get()}}},
        {"baseline_volume", baseline ? nlohmann::json(*baseline) : nlohmann::json()},
        {"restore_state", restoreParts},
    };
    nlohmann::json sessions = nlohmann::json::array();
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dataFolder_ / "sessions", ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const auto& name : names)
        sessions.push_back(name);

    // Everything but the records as one indented object; the records stream in after it.
    const nlohmann::json head = {{"ended", {{"t", w.elapsed()}, {"by", endedBy_}, {"asleep", asleep_}}},
                                 {"final", state},
                                 {"sessions", sessions},
                                 {"warnings", warnings_}};
    std::string text = head.dump(2);
    text.resize(text.rfind('}'));
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    const auto path = statePath();
    std::ofstream out(path, std::ios::trunc);
    out << text << ",\n  \"records\": {\n";
    w.recorder.writeChannels(out, "    ");
    out << "\n  }\n}\n";
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace mirl::sim
