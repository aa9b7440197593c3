#include "ui/shell/RemoteControl.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace mirl::remote {

namespace {

constexpr int kMinMinutes = 1;
constexpr int kMaxMinutes = 1440;
constexpr int kCallTimeoutMs = 5000;

} // namespace

Service::Service(Handlers handlers) : handlers_(std::move(handlers)) {}

Service::~Service() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (ownsName_)
        bus.unregisterService(QString::fromLatin1(kService));
    if (exported_)
        bus.unregisterObject(QString::fromLatin1(kPath));
}

bool Service::exportObject(QString* why) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (why)
            *why = QStringLiteral("no session bus: ") + bus.lastError().message();
        return false;
    }
    exported_ = bus.registerObject(QString::fromLatin1(kPath), this, QDBusConnection::ExportAllSlots);
    if (!exported_ && why)
        *why = QStringLiteral("cannot export the control object");
    return exported_;
}

bool Service::publish(QString* why) {
    if (!exportObject(why))
        return false;
    ownsName_ = QDBusConnection::sessionBus().registerService(QString::fromLatin1(kService));
    if (!ownsName_ && why)
        *why = QStringLiteral("another instance owns ") + QString::fromLatin1(kService);
    return ownsName_;
}

NameClaim::NameClaim() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        why_ = QStringLiteral("no session bus: ") + bus.lastError().message();
        return;
    }
    if (bus.registerService(QString::fromLatin1(kService))) {
        result_ = Result::owned;
        return;
    }
    result_ = Result::taken;
    why_ = QStringLiteral("another instance owns ") + QString::fromLatin1(kService);
}

NameClaim::~NameClaim() {
    if (result_ == Result::owned)
        QDBusConnection::sessionBus().unregisterService(QString::fromLatin1(kService));
}

bool Service::acceptMinutes(int minutes) {
    if (minutes >= kMinMinutes && minutes <= kMaxMinutes)
        return true;
    if (calledFromDBus())
        sendErrorReply(QStringLiteral("org.mirl.Mirl.InvalidMinutes"),
                       QStringLiteral("minutes must be a whole number from 1 to 1440, not %1").arg(minutes));
    return false;
}

void Service::Start(int minutes) {
    if (acceptMinutes(minutes) && handlers_.start)
        handlers_.start(minutes);
}

void Service::Extend(int minutes) {
    if (acceptMinutes(minutes) && handlers_.extend)
        handlers_.extend(minutes);
}

void Service::Cancel() {
    if (handlers_.cancel)
        handlers_.cancel();
}

QVariantMap Service::Status() {
    return statusToMap(handlers_.status ? handlers_.status() : RemoteStatus{});
}

void Service::Activate() {
    present(handlers_.activate, "window");
}

void Service::ShowPreferences() {
    present(handlers_.showPreferences, "preferences window");
}

void Service::ShowReview() {
    present(handlers_.showReview, "review window");
}

void Service::present(const std::function<void()>& show, const char* what) {
    if (show)
        show();
    else if (calledFromDBus())
        sendErrorReply(QStringLiteral("org.mirl.Mirl.NotAvailable"),
                       QStringLiteral("this Mirl has no %1").arg(QLatin1String(what)));
}

QVariantMap statusToMap(const RemoteStatus& status) {
    QVariantMap map;
    map.insert(QStringLiteral("running"), status.running);
    map.insert(QStringLiteral("remaining_sec"), static_cast<qlonglong>(status.remainingSeconds));
    map.insert(QStringLiteral("remaining_text"), QString::fromStdString(status.remainingText));
    map.insert(QStringLiteral("mode"), QString::fromStdString(status.mode));
    if (status.phase)
        map.insert(QStringLiteral("phase"), QString::fromStdString(*status.phase));
    if (status.breathRpm)
        map.insert(QStringLiteral("breath_rpm"), *status.breathRpm);
    return map;
}

RemoteStatus statusFromMap(const QVariantMap& map) {
    RemoteStatus status;
    status.running = map.value(QStringLiteral("running")).toBool();
    status.remainingSeconds = map.value(QStringLiteral("remaining_sec")).toLongLong();
    status.remainingText = map.value(QStringLiteral("remaining_text")).toString().toStdString();
    status.mode = map.value(QStringLiteral("mode")).toString().toStdString();
    if (map.contains(QStringLiteral("phase")))
        status.phase = map.value(QStringLiteral("phase")).toString().toStdString();
    if (map.contains(QStringLiteral("breath_rpm")))
        status.breathRpm = map.value(QStringLiteral("breath_rpm")).toDouble();
    return status;
}

bool instanceRunning() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    return bus.interface()->isServiceRegistered(QString::fromLatin1(kService)).value();
}

CallResult call(const QString& method, const QVariantList& args, QVariant* reply, QString* error) {
    if (!instanceRunning())
        return CallResult::notRunning;
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface), method);
    message.setArguments(args);
    const QDBusMessage answer = QDBusConnection::sessionBus().call(message, QDBus::Block, kCallTimeoutMs);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        if (answer.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
            return CallResult::notRunning;
        if (error)
            *error = answer.errorMessage();
        return CallResult::failed;
    }
    if (reply && !answer.arguments().isEmpty())
        *reply = answer.arguments().constFirst();
    return CallResult::done;
}

bool presentInRunningInstance(const QString& method) {
    return call(method, {}) == CallResult::done;
}

} // namespace mirl::remote
