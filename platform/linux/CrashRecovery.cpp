#include "platform/linux/CrashRecovery.h"

#include "platform/linux/GnomeNightLight.h"
#include "platform/linux/X11GammaRamps.h"

#include <algorithm>
#include <cmath>

namespace mirl {

std::optional<int> recordedVolume(const nlohmann::json& part) {
    if (!part.is_object() || !part.contains("percent") || !part["percent"].is_number_integer())
        return std::nullopt;
    const auto percent = part["percent"].get<long long>();
    if (percent < 0 || percent > 100)
        return std::nullopt;
    return static_cast<int>(percent);
}

std::optional<std::vector<DisplayLevel>> recordedBacklight(const nlohmann::json& part) {
    auto level = [](const nlohmann::json& value) -> std::optional<float> {
        if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < 0 ||
            value.get<double>() > 1)
            return std::nullopt;
        return static_cast<float>(value.get<double>());
    };
    if (!part.is_object())
        return std::nullopt;
    if (!part.contains("displays")) {
        // Written before displays were told apart: one level for all of them.
        auto all = level(part.value("level", nlohmann::json()));
        return all ? std::optional(std::vector<DisplayLevel>{{"", *all}}) : std::nullopt;
    }
    if (!part["displays"].is_array() || part["displays"].empty())
        return std::nullopt;
    std::vector<DisplayLevel> levels;
    for (const auto& display : part["displays"]) {
        if (!display.is_object() || !display.contains("id") || !display["id"].is_string() ||
            display["id"].get<std::string>().empty())
            return std::nullopt;
        auto own = level(display.value("level", nlohmann::json()));
        if (!own)
            return std::nullopt;
        levels.push_back({display["id"].get<std::string>(), *own});
    }
    return levels;
}

CrashRecovery::CrashRecovery(RestoreStateFile& state, Outputs outputs, Console& console)
    : state_(state), outputs_(outputs), console_(console) {
    if (outputs_.volume)
        soundServerWatch_ = outputs_.volume->listenToDefaultOutput([this] {
            if (pending(restore_parts::volume))
                retry(std::string(restore_parts::volume));
        });
}

Recovery CrashRecovery::tryPart(const std::string& name, nlohmann::json& part) {
    if (name == restore_parts::gamma)
        return X11GammaRamps::restoreSnapshot(part);
    if (name == restore_parts::nightLight)
        return GnomeNightLight::restoreSnapshot(part);
    if (name == restore_parts::volume) {
        const auto percent = recordedVolume(part);
        if (!percent)
            return Recovery::noLongerApplies;
        return outputs_.volume && outputs_.volume->setVolume(*percent, "baseline_restore")
                   ? Recovery::restored
                   : Recovery::notNow;
    }
    if (name == restore_parts::backlight) {
        auto levels = recordedBacklight(part);
        if (!levels)
            return Recovery::noLongerApplies;
        if (!outputs_.backlight)
            return Recovery::notNow;
        if (levels->size() == 1 && levels->front().id.empty())
            return outputs_.backlight->writeLevel(levels->front().level) ? Recovery::restored
                                                                         : Recovery::notNow;
        // Each display its own level; the ones that refuse stay for later.
        const auto took = outputs_.backlight->writeLevels(*levels);
        auto& displays = part["displays"];
        displays.erase(std::remove_if(displays.begin(), displays.end(),
                                      [&](const nlohmann::json& d) {
                                          return std::find(took.begin(), took.end(), d["id"]) != took.end();
                                      }),
                       displays.end());
        return displays.empty() ? Recovery::restored : Recovery::notNow;
    }
    return Recovery::noLongerApplies; // a part this version does not know
}

std::vector<std::string> CrashRecovery::recover() {
    std::vector<std::string> restored;
    const nlohmann::json leftovers = state_.adoptLeftovers();
    for (const auto& [name, value] : leftovers.items()) {
        pending_[name] = value;
        if (retry(name) == Recovery::restored)
            restored.push_back(name);
    }
    return restored;
}

Recovery CrashRecovery::retry(const std::string& name) {
    nlohmann::json part = pending_[name];
    Recovery outcome = Recovery::noLongerApplies;
    try {
        outcome = tryPart(name, part);
    } catch (const std::exception&) {
        outcome = Recovery::noLongerApplies; // a malformed part is as good as one that no longer applies
    }
    switch (outcome) {
    case Recovery::restored:
        console_.line("Mirl: put back the " + name + " a previous run left changed");
        break;
    case Recovery::noLongerApplies:
        console_.line("Mirl: the " + name + " a previous run left changed no longer applies");
        break;
    case Recovery::notNow:
        console_.line("Mirl: cannot put back the " + name +
                      " a previous run left changed yet; kept for later");
        pending_[name] = part;
        state_.keepLeftover(name, part);
        return outcome;
    }
    pending_.erase(name);
    state_.settleLeftover(name);
    return outcome;
}

} // namespace mirl
