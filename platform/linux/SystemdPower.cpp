#include "platform/linux/SystemdPower.h"

#include <QProcess>

namespace mirl {

std::optional<std::string> SystemdPower::suspend() {
    QProcess process;
    process.setProgram(QStringLiteral("systemctl"));
    process.setArguments({QStringLiteral("suspend")});
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        return process.errorString().toStdString();
    return std::nullopt;
}

} // namespace mirl
