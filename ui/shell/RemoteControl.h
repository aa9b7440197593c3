#pragma once

#include "ui/shell/RemoteStatus.h"

#include <QDBusContext>
#include <QObject>
#include <QVariantMap>

#include <functional>

namespace mirl::remote {

// Mirl on the session bus: the running instance owns the name; a second `mirl` and the verbs
// `mirl start|extend|cancel|status` talk to it.
inline constexpr const char* kService = "org.mirl.Mirl";
inline constexpr const char* kPath = "/org/mirl/Mirl";
inline constexpr const char* kInterface = "org.mirl.Mirl.Control";

/// What the running instance does for its callers.
struct Handlers {
    std::function<void(int minutes)> start;
    std::function<void(int minutes)> extend;
    std::function<void()> cancel;
    std::function<RemoteStatus()> status;
    /// A second plain launch: show Mirl.
    std::function<void()> activate;
    /// `mirl --preferences` and `mirl review` beside the running instance: its own windows.
    /// Left empty (as this one), the call fails and the caller opens the window itself.
    std::function<void()> showPreferences;
    std::function<void()> showReview;
};

/// The running instance's side: the object at kPath with the interface kInterface.
///   Start(i minutes), Extend(i minutes): 1 to 1440, else the error org.mirl.Mirl.InvalidMinutes
///   Cancel()
///   Activate(), ShowPreferences(), ShowReview(): the error org.mirl.Mirl.NotAvailable when the
///   instance has no such window (a session in a terminal)
///   Status() -> a{sv}: running b, remaining_sec x, remaining_text s, mode s, and phase s and
///   breath_rpm d when known.
class Service final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mirl.Mirl.Control")

public:
    explicit Service(Handlers handlers);
    ~Service() override;

    /// Exports the object on the session bus (the name is claimed separately, see NameClaim).
    bool exportObject(QString* why = nullptr);
    /// Exports the object and takes the name. False when another instance holds the name or
    /// there is no session bus; `why` says which.
    bool publish(QString* why = nullptr);

public Q_SLOTS:
    void Start(int minutes);
    void Extend(int minutes);
    void Cancel();
    QVariantMap Status();
    void Activate();
    void ShowPreferences();
    void ShowReview();

private:
    bool acceptMinutes(int minutes);
    void present(const std::function<void()>& show, const char* what);

    Handlers handlers_;
    bool exported_ = false;
    bool ownsName_ = false;
};

/// The single-instance lock: owning kService on the session bus. Claimed first thing at launch,
/// before anything is changed on the machine, so that a second launch never touches what the
/// running instance changed; given up when the object goes.
class NameClaim {
public:
    enum class Result { owned, taken, noBus };

    NameClaim();
    ~NameClaim();
    NameClaim(const NameClaim&) = delete;
    NameClaim& operator=(const NameClaim&) = delete;

    Result result() const { return result_; }
    /// Why the name is not ours.
    const QString& why() const { return why_; }

private:
    Result result_ = Result::noBus;
    QString why_;
};

/// The caller's side.
enum class CallResult { done, notRunning, failed };

/// Whether an instance owns the name on the session bus.
bool instanceRunning();

/// Calls `method` on the running instance with `args`. `reply` receives the answer's first
/// value; `error` the bus's message when it failed.
CallResult call(const QString& method, const QVariantList& args, QVariant* reply = nullptr,
                QString* error = nullptr);

/// Asks the running instance to show one of its windows (`method` is ShowPreferences or
/// ShowReview). False when none runs or it cannot; the caller then opens the window itself.
bool presentInRunningInstance(const QString& method);

RemoteStatus statusFromMap(const QVariantMap& map);
QVariantMap statusToMap(const RemoteStatus& status);

} // namespace mirl::remote
