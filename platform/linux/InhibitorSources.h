#pragma once

#include "platform/linux/ProbeSources.h"

#include <string>
#include <string_view>

namespace mirl {

/// True for a logind inhibitor that keeps the display awake for someone else: its "what" list
/// (colon-separated) names "idle", its mode is "block", and its pid is not ownPid.
bool logindInhibitorCounts(std::string_view what, std::string_view mode, pid_t pid, pid_t ownPid);

/// GNOME session manager flag for "do not mark the session idle".
inline constexpr unsigned kGnomeInhibitIdle = 8;

/// logind's inhibitors on the system bus (org.freedesktop.login1.Manager.ListInhibitors).
class LogindInhibitors final : public InhibitorSource {
public:
    explicit LogindInhibitors(pid_t ownPid) : ownPid_(ownPid) {}
    std::string name() const override { return "logind"; }
    std::optional<std::vector<MediaInhibitor>> displayInhibitors() override;

private:
    pid_t ownPid_;
};

/// GNOME's session manager on the session bus: every inhibitor object with the idle flag. GNOME
/// does not tell the holder's pid; our own are told apart by the application id.
class GnomeSessionInhibitors final : public InhibitorSource {
public:
    explicit GnomeSessionInhibitors(std::string ownAppId) : ownAppId_(std::move(ownAppId)) {}
    std::string name() const override { return "gnome-session"; }
    std::optional<std::vector<MediaInhibitor>> displayInhibitors() override;

private:
    std::string ownAppId_;
};

/// KDE's power management policy agent on the session bus (ListInhibitions: application and
/// reason). KDE lists only what blocks screen power management there.
class KdeInhibitions final : public InhibitorSource {
public:
    explicit KdeInhibitions(std::string ownAppId) : ownAppId_(std::move(ownAppId)) {}
    std::string name() const override { return "kde-policyagent"; }
    std::optional<std::vector<MediaInhibitor>> displayInhibitors() override;

private:
    std::string ownAppId_;
};

} // namespace mirl
