#include "ui/shell/ControlVerbs.h"

#include "ui/control/ControlTexts.h"
#include "ui/shell/RemoteControl.h"

#include <QDBusArgument>

namespace mirl {

namespace {

int usageError(std::FILE* err, const QString& problem) {
    std::fprintf(err, "mirl: %s\n%s", qPrintable(problem), controlVerbsUsage());
    return 2;
}

int notRunning(std::FILE* err) {
    std::fprintf(err, "mirl: Mirl is not running (start it with: mirl)\n");
    return 1;
}

QVariantMap asMap(const QVariant& value) {
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

} // namespace

const char* controlVerbsUsage() {
    return "  mirl start MINUTES     start a timer on the running Mirl (1 to 1440 minutes)\n"
           "  mirl extend MINUTES    add minutes to the running timer (or start one)\n"
           "  mirl cancel            cancel the timer; the screen and the volume come back\n"
           "  mirl status [--json]   the timer, its mode, the sleep phase and the breathing rate\n";
}

bool isControlVerb(const QString& word) {
    return word == QLatin1String("start") || word == QLatin1String("extend") ||
           word == QLatin1String("cancel") || word == QLatin1String("status");
}

int runControlVerb(const QStringList& args, std::FILE* out, std::FILE* err) {
    const QString verb = args.value(0);
    QString method;
    QVariantList callArgs;
    bool json = false;
    if (verb == QLatin1String("start") || verb == QLatin1String("extend")) {
        if (args.size() != 2)
            return usageError(err, QStringLiteral("%1 takes one number of minutes").arg(verb));
        const auto minutes = controltext::parseCustomMinutes(args.at(1).toStdString());
        if (!minutes)
            return usageError(
                err,
                QStringLiteral("minutes must be a whole number from 1 to 1440, not \"%1\"").arg(args.at(1)));
        method = verb == QLatin1String("start") ? QStringLiteral("Start") : QStringLiteral("Extend");
        callArgs << *minutes;
    } else if (verb == QLatin1String("cancel")) {
        if (args.size() != 1)
            return usageError(err, QStringLiteral("cancel takes no arguments"));
        method = QStringLiteral("Cancel");
    } else if (verb == QLatin1String("status")) {
        json = args.size() == 2 && args.at(1) == QLatin1String("--json");
        if (args.size() > 2 || (args.size() == 2 && !json))
            return usageError(err, QStringLiteral("status takes only --json"));
        method = QStringLiteral("Status");
    } else {
        return usageError(err, QStringLiteral("unknown command \"%1\"").arg(verb));
    }

    QVariant reply;
    QString error;
    switch (remote::call(method, callArgs, &reply, &error)) {
    case remote::CallResult::notRunning:
        return notRunning(err);
    case remote::CallResult::failed:
        std::fprintf(err, "mirl: %s\n", qPrintable(error));
        return 1;
    case remote::CallResult::done:
        break;
    }
    if (method == QLatin1String("Status")) {
        const RemoteStatus status = remote::statusFromMap(asMap(reply));
        const std::string text = json ? statusJson(status) + "\n" : statusText(status);
        std::fputs(text.c_str(), out);
    }
    return 0;
}

} // namespace mirl
