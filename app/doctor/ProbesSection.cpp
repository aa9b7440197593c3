// The probes section of mirl-doctor: what Mirl sees of the user's activity, of media playback
// and of the ambient light on this desktop.

#include "app/doctor/DoctorReport.h"
#include "core/probes/DayNight.h"
#include "platform/linux/LinuxActivityProbes.h"
#include "platform/linux/WaylandIdleSource.h"
#include "runtime/LocalTime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace mirl::doctor {

namespace {

std::string envOr(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

std::string format(const char* fmt, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names)
        out += (out.empty() ? "" : ", ") + n;
    return out.empty() ? "none" : out;
}

/// Answers isNightByLight from a reading already taken, so the sensor is read once.
class ReadingProbes final : public ActivityProbes {
public:
    explicit ReadingProbes(std::optional<double> lux) : lux_(lux) {}
    std::optional<double> idleSeconds() override { return std::nullopt; }
    bool isMediaPlaybackActive() override { return false; }
    std::optional<double> readAmbientLux() override { return lux_; }

private:
    std::optional<double> lux_;
};

} // namespace

Section probesSection() {
    Section s{"probes", {}, {}};
    LinuxActivityProbes probes;

    // Display.
    const std::string x11 = envOr("DISPLAY", "");
    const std::string wayland = envOr("WAYLAND_DISPLAY", "");
    const bool waylandSession = LinuxActivityProbes::isWaylandSession();
    std::string kind = waylandSession ? "wayland" : (!x11.empty() ? "x11" : "none");
    s.data["display"] = {{"kind", kind},
                         {"x11", x11.empty() ? nlohmann::json() : nlohmann::json(x11)},
                         {"wayland", wayland.empty() ? nlohmann::json() : nlohmann::json(wayland)}};
    if (kind == "none")
        s.lines.push_back("display: none (neither DISPLAY nor WAYLAND_DISPLAY is set); idle time can come "
                          "only from the desktop's D-Bus services");
    else if (kind == "wayland")
        s.lines.push_back("display: Wayland" + (wayland.empty() ? std::string() : " (" + wayland + ")") +
                          "; the X server's idle time is not used");
    else
        s.lines.push_back("display: X11 " + x11);

    // Idle seconds.
    auto idle = probes.readIdle();
    if (idle.source.empty() && waylandSession) {
        // The compositor's idle notification knows nothing until its first threshold has passed.
        std::this_thread::sleep_for(
            std::chrono::duration<double>(WaylandIdleSource::kThresholdSeconds + 0.2));
        idle = probes.readIdle();
    }
    if (idle.source.empty()) {
        s.data["idle"] = {{"seconds", nullptr}, {"source", nullptr}};
        s.lines.push_back("idle: unknown (no source answered); Mirl sees neither input nor inactivity: no "
                          "fade starts or stops on it, and the wake sound plays its full three minutes");
    } else {
        s.data["idle"] = {{"seconds", idle.seconds}, {"source", idle.source}};
        s.lines.push_back("idle: " + format("%.1f", idle.seconds) + " s (from " + idle.source + ")");
    }

    // Media playback.
    const auto media = probes.readMedia();
    nlohmann::json inhibitors = nlohmann::json::array();
    for (const auto& i : media.inhibitors)
        inhibitors.push_back(
            {{"source", i.source},
             {"who", i.who},
             {"why", i.why},
             {"pid", i.pid ? nlohmann::json(static_cast<long long>(*i.pid)) : nlohmann::json()}});
    s.data["media"] = {{"playback_active", media.active},
                       {"inhibitors", inhibitors},
                       {"sources_answered", media.answered},
                       {"sources_unanswered", media.unanswered}};
    s.lines.push_back(std::string("media playback: ") +
                      (media.active ? "yes, the display is kept awake by another program" : "none seen") +
                      " (asked: " + joined(media.answered) + "; not answering: " + joined(media.unanswered) +
                      ")");
    for (const auto& i : media.inhibitors)
        s.lines.push_back("  held by \"" + i.who + "\"" +
                          (i.pid ? " (pid " + std::to_string(*i.pid) + ")" : std::string()) + " via " +
                          i.source + (i.why.empty() ? std::string() : ": " + i.why));

    // Ambient light and day or night.
    const auto light = probes.readLight();
    if (light.lux) {
        s.data["ambient_light"] = {{"lux", *light.lux}, {"source", light.source}};
        s.lines.push_back("ambient light: " + format("%.1f", *light.lux) + " lux (from " + light.source +
                          ")");
    } else {
        s.data["ambient_light"] = {{"lux", nullptr}, {"source", nullptr}};
        s.lines.push_back("ambient light: no sensor");
    }
    SystemClock clock;
    ReadingProbes reading(light.lux);
    const bool night = isNightByLight(reading, clock);
    const auto tm = localCalendar(clock.now());
    char hhmm[8];
    std::snprintf(hhmm, sizeof hhmm, "%02d:%02d", tm.tm_hour, tm.tm_min);
    ReadingProbes noSensor(std::nullopt);
    const bool nightByClock = isNightByLight(noSensor, clock);
    const std::string by = light.lux ? "light" : "clock";
    s.data["day_night"] = {
        {"night", night}, {"decided_by", by}, {"night_by_clock", nightByClock}, {"local_time", hhmm}};
    s.lines.push_back(std::string("day or night: ") + (night ? "night" : "day") + " by " + by + " (" +
                      (light.lux ? format("%.1f lux, night at 50 or less; ", *light.lux) +
                                       "the clock alone would say " + (nightByClock ? "night" : "day")
                                 : std::string(hhmm) + " local, night from 21:00 to 06:59") +
                      ")");
    return s;
}

} // namespace mirl::doctor
