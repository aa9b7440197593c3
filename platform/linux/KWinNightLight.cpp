#include "platform/linux/KWinNightLight.h"

#include "platform/GammaMath.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <chrono>

namespace mirl {

namespace {

bool answers(const KWinNightLight::Endpoint& e) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() ||
        !bus.interface()->isServiceRegistered(QString::fromStdString(e.service)).value())
        return false;
    auto call = QDBusMessage::createMethodCall(
        QString::fromStdString(e.service), QString::fromStdString(e.path),
        QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, 500);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    const QString xml = reply.arguments().at(0).toString();
    return xml.contains(QString::fromStdString(e.interface)) && xml.contains(QStringLiteral("\"preview\""));
}

} // namespace

std::unique_ptr<KWinNightLight> KWinNightLight::open(Scheduler& scheduler) {
    for (const Endpoint& e :
         {Endpoint{"org.kde.KWin.NightLight", "/org/kde/KWin/NightLight", "org.kde.KWin.NightLight"},
          Endpoint{"org.kde.KWin", "/ColorCorrect", "org.kde.kwin.ColorCorrect"}}) {
        if (answers(e))
            return std::make_unique<KWinNightLight>(e, scheduler);
    }
    return nullptr;
}

KWinNightLight::KWinNightLight(Endpoint endpoint, Scheduler& scheduler)
    : endpoint_(std::move(endpoint)), scheduler_(scheduler) {}

void KWinNightLight::setStrength(float strength, bool commit) {
    strength_ = strength;
    if (enabled_ && commit)
        preview();
}

void KWinNightLight::setEnabled(bool enabled) {
    if (enabled) {
        const bool starting = !enabled_;
        enabled_ = true;
        if (starting) {
            preview();
            renewal_ = scheduler_.every(std::chrono::seconds(10), [this] { preview(); });
        }
        return;
    }
    if (!enabled_)
        return;
    enabled_ = false;
    renewal_.cancel();
    send("stopPreview", false);
}

void KWinNightLight::preview() {
    send("preview", true);
}

void KWinNightLight::send(const char* method, bool withKelvin) {
    auto call = QDBusMessage::createMethodCall(
        QString::fromStdString(endpoint_.service), QString::fromStdString(endpoint_.path),
        QString::fromStdString(endpoint_.interface), QString::fromLatin1(method));
    if (withKelvin)
        call << static_cast<quint32>(kelvinForStrength(strength_));
    QDBusConnection::sessionBus().asyncCall(call, 500);
}

} // namespace mirl
