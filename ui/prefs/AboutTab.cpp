#include "ui/prefs/AboutTab.h"

#include "runtime/Version.h"
#include "ui/art/AppIcon.h"
#include "ui/prefs/FormSection.h"

#include <QLabel>
#include <QVBoxLayout>

namespace mirl {

AboutTab::AboutTab(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(8);
    column->addStretch(1);

    auto centred = [&](QLabel* label) {
        label->setAlignment(Qt::AlignHCenter);
        label->setWordWrap(true);
        column->addWidget(label);
        return label;
    };
    auto* icon = centred(new QLabel);
    icon->setPixmap(appIcon().pixmap(QSize(64, 64), devicePixelRatioF()));
    icon->setObjectName(QStringLiteral("aboutIcon"));

    auto* name = centred(new QLabel(QStringLiteral("Mirl")));
    QFont nameFont = name->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.7);
    nameFont.setWeight(QFont::DemiBold);
    name->setFont(nameFont);

    auto* version = centred(makeNote(tr("Version %1").arg(QString::fromUtf8(kVersion))));
    version->setObjectName(QStringLiteral("aboutVersion"));
    column->addSpacing(4);
    centred(new QLabel(uiText("Fall asleep at your Mac, gently.")));
    column->addSpacing(8);
    centred(new QLabel(tr("Updates come with your system's package manager.")));
    column->addSpacing(8);
    centred(makeNote(
        uiText("Fully local: the microphone, sessions and settings never leave this Mac. No telemetry.")));
    column->addStretch(2);
}

} // namespace mirl
