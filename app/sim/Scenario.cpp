#include "app/sim/Scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace mirl::sim {

namespace {

enum class Kind { integer, number, boolean, numberOrNull, channel };

struct FieldRule {
    const char* name;
    Kind kind;
    double min = 0, max = 0;
    bool optional = false;
};

struct ActionRule {
    const char* name;
    std::vector<FieldRule> fields;
};

const std::vector<ActionRule>& actionRules() {
    static const std::vector<ActionRule> rules{
        {"start", {{"minutes", Kind::integer, 1, 1440}}},
        {"extend", {{"minutes", Kind::integer, 1, 1440}}},
        {"cancel", {}},
        {"set_volume", {{"percent", Kind::integer, 0, 100}}},
        {"set_brightness", {{"level", Kind::number, 0, 1}}},
        {"input", {}},
        {"media", {{"on", Kind::boolean}}},
        {"lux", {{"value", Kind::numberOrNull, 0, 1e6}}},
        {"slider_ambiance", {{"value", Kind::number, 0, 1}}},
        {"slider_volume", {{"value", Kind::number, 0, 100}}},
        {"autopilot", {{"channel", Kind::channel}, {"on", Kind::boolean}}},
        {"switch_detection", {{"on", Kind::boolean}}},
        {"switch_autofade", {{"on", Kind::boolean}}},
        {"alert_extend", {{"minutes", Kind::integer, 10, 30}}},
        {"alert_sleep_now", {}},
        {"system_sleep", {}},
        {"system_wake", {}},
        {"device_change", {{"volume", Kind::integer, 0, 100, true}}},
        {"quit", {}},
    };
    return rules;
}

std::string jsonQuoted(std::string_view text) {
    return nlohmann::json(std::string(text)).dump();
}

std::string numberText(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

/// Why value breaks the rule, or nothing.
std::optional<std::string> checkField(const FieldRule& rule, const nlohmann::json& value) {
    const std::string name = jsonQuoted(rule.name);
    const std::string range = numberText(rule.min) + " to " + numberText(rule.max);
    switch (rule.kind) {
    case Kind::integer:
        if (!value.is_number_integer() || value.get<double>() < rule.min || value.get<double>() > rule.max)
            return name + " must be a whole number from " + range;
        if (std::string_view(rule.name) == "minutes" && rule.min == 10) {
            const auto m = value.get<long long>();
            if (m != 10 && m != 20 && m != 30)
                return name + " must be 10, 20 or 30";
        }
        return std::nullopt;
    case Kind::numberOrNull:
        if (value.is_null())
            return std::nullopt;
        [[fallthrough]];
    case Kind::number:
        if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < rule.min ||
            value.get<double>() > rule.max)
            return name + " must be a number from " + range +
                   (rule.kind == Kind::numberOrNull ? " or null" : "");
        return std::nullopt;
    case Kind::boolean:
        if (!value.is_boolean())
            return name + " must be true or false";
        return std::nullopt;
    case Kind::channel:
        if (!value.is_string() || (value != "ambiance" && value != "volume"))
            return name + " must be \"ambiance\" or \"volume\"";
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> parseStep(const nlohmann::json& item, std::size_t number, double until,
                                     ScenarioStep& step) {
    const std::string where = "step " + std::to_string(number);
    if (!item.is_object())
        return where + ": must be an object with \"at\" and \"do\"";
    step.number = number;
    if (!item.contains("do"))
        return where + ": \"do\" is missing";
    if (!item["do"].is_string())
        return where + ": \"do\" must be the name of an action";
    step.action = item["do"].get<std::string>();
    const auto& rules = actionRules();
    auto rule =
        std::find_if(rules.begin(), rules.end(), [&](const ActionRule& s) { return step.action == s.name; });
    if (rule == rules.end())
        return where + ": unknown action " + jsonQuoted(step.action);
    const std::string here = where + " (" + step.action + ")";
    if (!item.contains("at"))
        return here + ": \"at\" is missing";
    if (!item["at"].is_number() || !std::isfinite(item["at"].get<double>()) || item["at"].get<double>() < 0)
        return here + ": \"at\" must be a number of seconds from 0 on";
    step.at = item["at"].get<double>();
    if (step.at > until)
        return here + ": \"at\" " + numberText(step.at) + " lies after \"until\" " + numberText(until);
    for (const auto& [key, value] : item.items()) {
        if (key == "at" || key == "do")
            continue;
        auto field = std::find_if(rule->fields.begin(), rule->fields.end(),
                                  [&](const FieldRule& f) { return key == f.name; });
        if (field == rule->fields.end())
            return here + ": unknown field " + jsonQuoted(key);
        if (auto problem = checkField(*field, value))
            return here + ": " + *problem;
        step.fields[key] = value;
    }
    for (const FieldRule& field : rule->fields)
        if (!field.optional && !item.contains(field.name))
            return here + ": missing field " + jsonQuoted(field.name);
    return std::nullopt;
}

} // namespace

std::optional<ScenarioDateTime> parseScenarioDateTime(const std::string& written) {
    std::string text = written;
    if (text.size() > 10 && (text[10] == ' ' || text[10] == 't'))
        text[10] = 'T'; // as RFC 3339 allows
    ScenarioDateTime t;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d%n", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                    &used) < 5 ||
        used != 16)
        return std::nullopt;
    std::size_t at = 16;
    const auto digits = [&](std::size_t from, std::size_t count) {
        if (from + count > text.size())
            return false;
        for (std::size_t i = from; i < from + count; ++i)
            if (text[i] < '0' || text[i] > '9')
                return false;
        return true;
    };
    if (at < text.size() && text[at] == ':') {
        if (!digits(at + 1, 2))
            return std::nullopt;
        t.second = std::stoi(text.substr(at + 1, 2));
        at += 3;
        if (at < text.size() && text[at] == '.') {
            std::size_t end = at + 1;
            while (end < text.size() && text[end] >= '0' && text[end] <= '9')
                ++end;
            if (end == at + 1)
                return std::nullopt;
            at = end;
        }
    }
    if (at < text.size() && text[at] == 'Z') {
        t.utcOffsetSeconds = 0;
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        if (!digits(at + 1, 2))
            return std::nullopt;
        const int hours = std::stoi(text.substr(at + 1, 2));
        std::size_t next = at + 3;
        if (next < text.size() && text[next] == ':')
            ++next;
        if (!digits(next, 2))
            return std::nullopt;
        const int minutes = std::stoi(text.substr(next, 2));
        if (hours > 14 || minutes > 59)
            return std::nullopt;
        t.utcOffsetSeconds = (text[at] == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
        at = next + 2;
    }
    if (at != text.size())
        return std::nullopt;
    // Up to 2200: the clock's 64-bit nanoseconds end in 2262 (a later start overflowed them).
    if (t.year < 1970 || t.year > 2200 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 ||
        t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 60)
        return std::nullopt;
    return t;
}

namespace {

bool knownTimeZone(const std::string& name) {
    if (name == "UTC")
        return true;
    if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos)
        return false;
    const char* dir = std::getenv("TZDIR");
    const std::filesystem::path folder = dir && *dir ? dir : "/usr/share/zoneinfo";
    std::error_code ec;
    return std::filesystem::is_regular_file(folder / name, ec);
}

std::optional<std::string> parseSystem(const nlohmann::json& system, Scenario& out) {
    if (!system.is_object())
        return std::string("\"system\" must be an object");
    for (const auto& [key, value] : system.items()) {
        const std::string name = "\"system\" " + jsonQuoted(key);
        if (key == "volume") {
            if (!value.is_number_integer() || value.get<long long>() < 0 || value.get<long long>() > 100)
                return name + " must be a whole number from 0 to 100";
            out.volume = value.get<int>();
        } else if (key == "brightness") {
            if (!value.is_number() || value.get<double>() < 0 || value.get<double>() > 1)
                return name + " must be a number from 0 to 1";
            out.brightness = value.get<double>();
        } else if (key == "lux") {
            if (!value.is_null() && (!value.is_number() || value.get<double>() < 0))
                return name + " must be a number from 0 on, or null (no sensor)";
            out.lux = value.is_null() ? std::nullopt : std::optional(value.get<double>());
        } else if (key == "media_playing") {
            if (!value.is_boolean())
                return name + " must be true or false";
            out.mediaPlaying = value.get<bool>();
        } else if (key == "idle_seconds") {
            if (!value.is_null() && (!value.is_number() || value.get<double>() < 0))
                return name + " must be a number from 0 on, or null (idle time unknown)";
            out.idleSeconds = value.is_null() ? std::nullopt : std::optional(value.get<double>());
        } else {
            return "unknown key " + name;
        }
    }
    return std::nullopt;
}

std::optional<std::string> parseSettings(const nlohmann::json& settings, Scenario& out) {
    if (!settings.is_object())
        return std::string("\"settings\" must be an object of key and value");
    for (const auto& [key, value] : settings.items()) {
        if (value.is_boolean())
            out.settings.emplace_back(key, value.get<bool>());
        else if (value.is_number_integer())
            out.settings.emplace_back(key, value.get<long long>());
        else if (value.is_number())
            out.settings.emplace_back(key, value.dump());
        else if (value.is_string())
            out.settings.emplace_back(key, value.get<std::string>());
        else
            return "setting " + jsonQuoted(key) + " must be true, false, a number or a text";
    }
    return std::nullopt;
}

std::optional<std::string> parseTop(const nlohmann::json& doc, const std::filesystem::path& baseFolder,
                                    Scenario& out) {
    if (!doc.is_object())
        return std::string("a scenario is a JSON object");
    for (const auto& [key, value] : doc.items()) {
        static const std::vector<std::string> known{"start",      "timezone", "settings", "system",
                                                    "microphone", "steps",    "until"};
        if (std::find(known.begin(), known.end(), key) == known.end())
            return "unknown key " + jsonQuoted(key);
    }
    if (doc.contains("start")) {
        if (!doc["start"].is_string() || !parseScenarioDateTime(doc["start"].get<std::string>()))
            return std::string("\"start\" must be a date-time like \"2026-12-05T22:00:00\" (local) or "
                               "\"2026-12-05T21:00:00Z\"");
        out.start = doc["start"].get<std::string>();
    }
    if (doc.contains("timezone")) {
        if (!doc["timezone"].is_string() || !knownTimeZone(doc["timezone"].get<std::string>()))
            return "\"timezone\": unknown time zone " + doc["timezone"].dump();
        out.timezone = doc["timezone"].get<std::string>();
    }
    if (doc.contains("settings"))
        if (auto problem = parseSettings(doc["settings"], out))
            return problem;
    if (doc.contains("system"))
        if (auto problem = parseSystem(doc["system"], out))
            return problem;
    if (doc.contains("microphone")) {
        const auto& mic = doc["microphone"];
        if (!mic.is_string() || mic.get<std::string>().empty())
            return std::string("\"microphone\" must be the path of an audio file, or \"none\"");
        std::string path = mic.get<std::string>();
        if (path != "none" && std::filesystem::path(path).is_relative() && !baseFolder.empty())
            path = (baseFolder / path).lexically_normal().string();
        out.microphone = path;
    }
    if (!doc.contains("until"))
        return std::string("\"until\" is missing (the second at which the simulation ends)");
    // At most a week: the five-second inactivity check alone ticks all the way, so an absurd
    // end would keep mirl-sim busy for ever.
    if (!doc["until"].is_number() || !std::isfinite(doc["until"].get<double>()) ||
        doc["until"].get<double>() <= 0 || doc["until"].get<double>() > kMaxUntilSeconds)
        return "\"until\" must be a number of seconds greater than 0 and at most " +
               numberText(kMaxUntilSeconds) + " (a week)";
    out.until = doc["until"].get<double>();
    if (doc.contains("steps")) {
        if (!doc["steps"].is_array())
            return std::string("\"steps\" must be a list");
        std::size_t number = 0;
        for (const auto& item : doc["steps"]) {
            ScenarioStep step;
            if (auto problem = parseStep(item, ++number, out.until, step))
                return problem;
            out.steps.push_back(std::move(step));
        }
        std::stable_sort(out.steps.begin(), out.steps.end(),
                         [](const ScenarioStep& a, const ScenarioStep& b) { return a.at < b.at; });
    }
    return std::nullopt;
}

} // namespace

const std::vector<std::string>& scenarioActions() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const auto& rule : actionRules())
            out.emplace_back(rule.name);
        return out;
    }();
    return names;
}

ParsedScenario parseScenario(std::string_view text, const std::filesystem::path& baseFolder) {
    ParsedScenario result;
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        result.error = std::string("not valid JSON (") + e.what() + ")";
        return result;
    }
    Scenario scenario;
    if (auto problem = parseTop(doc, baseFolder, scenario)) {
        result.error = *problem;
        return result;
    }
    result.scenario = std::move(scenario);
    return result;
}

} // namespace mirl::sim
