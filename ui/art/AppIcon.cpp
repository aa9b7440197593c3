#include "ui/art/AppIcon.h"

#include <QDir>

namespace mirl {

QIcon appIcon() {
    QIcon builtIn;
    const QDir sizes(QStringLiteral(":/mirl/icons/hicolor"));
    for (const QString& size : sizes.entryList(QDir::Dirs))
        builtIn.addFile(sizes.filePath(size + QStringLiteral("/apps/mirl.png")));
    return QIcon::fromTheme(QStringLiteral("mirl"), builtIn);
}

} // namespace mirl
