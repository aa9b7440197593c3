#include "ui/control/ControlView.h"

#include "core/session/SessionOrchestrator.h"
#include "runtime/Version.h"
#include "ui/art/Symbols.h"
#include "ui/art/Tones.h"
#include "ui/control/CountdownSection.h"
#include "ui/control/DetectionSection.h"
#include "ui/control/ManualControls.h"
#include "ui/control/StartSection.h"
#include "ui/control/ViewStyle.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

namespace mirl {

ControlView::ControlView(SessionOrchestrator& session, const Settings& settings, const Clock& clock,
                         Scheduler& scheduler, ControlViewActions actions, QWidget* parent)
    : QWidget(parent), session_(session), actions_(std::move(actions)) {
    setObjectName(QStringLiteral("MirlControlView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kInset, kInset - 4, kInset, kInset - 6);
    layout->setSpacing(14);

    layout->addWidget(header());
    start_ = new StartSection(session, settings, clock, scheduler);
    layout->addWidget(start_);
    countdown_ = new CountdownSection(session);
    layout->addWidget(countdown_);
    layout->addWidget(viewstyle::separator());
    detection_ = new DetectionSection(session, settings);
    layout->addWidget(detection_);
    layout->addWidget(viewstyle::separator());
    manual_ = new ManualControls(session);
    layout->addWidget(manual_);

    footer_ = viewstyle::label(QStringLiteral("Mirl ") + QString::fromLatin1(kVersion), 10, QFont::Normal,
                               viewstyle::Ink::tertiary);
    footer_->setObjectName(QStringLiteral("version"));
    footer_->setAlignment(Qt::AlignHCenter);
    footer_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    footer_->setToolTip(QStringLiteral(
        "Version of the running app. Useful to check you are testing the build you think you are."));
    layout->addWidget(footer_);

    for (QWidget* section : {static_cast<QWidget*>(start_), static_cast<QWidget*>(countdown_),
                             static_cast<QWidget*>(detection_), static_cast<QWidget*>(manual_)})
        section->setFixedWidth(kContentWidth);

    addShortcut(QKeySequence(QStringLiteral("Ctrl+,")), actions_.openPreferences);
    addShortcut(QKeySequence(QStringLiteral("Ctrl+Q")), actions_.quit);

    running_ = session_.timer().endDate.subscribe([this](const auto&) { showTimerState(); });
    showTimerState();
}

QWidget* ControlView::header() {
    auto* row = new QWidget;
    row->setFixedWidth(kContentWidth);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* moon = new QLabel;
    moon->setPixmap(symbolIcon(Symbol::moonZzz, tone::accent(palette())).pixmap(18, 18));
    layout->addWidget(moon);
    layout->addWidget(viewstyle::label(QStringLiteral("Mirl"), 14, QFont::DemiBold));
    layout->addStretch(1);
    preferences_ =
        headerButton(Symbol::gear, QStringLiteral("Preferences (Ctrl+,)"), actions_.openPreferences);
    preferences_->setObjectName(QStringLiteral("preferences"));
    annotate_ =
        headerButton(Symbol::pencilSquare, QStringLiteral("Annotate a session"), actions_.openAnnotation);
    annotate_->setObjectName(QStringLiteral("annotate"));
    quit_ = headerButton(Symbol::power, QStringLiteral("Quit Mirl"), actions_.quit);
    quit_->setObjectName(QStringLiteral("quit"));
    for (QToolButton* button : {preferences_, annotate_, quit_})
        layout->addWidget(button);
    return row;
}

QToolButton* ControlView::headerButton(Symbol symbol, const QString& tip,
                                       const std::function<void()>& action) {
    auto* button = new QToolButton;
    button->setAutoRaise(true);
    button->setIcon(symbolIcon(symbol, tone::tertiary(palette())));
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(26, 26);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setCursor(Qt::PointingHandCursor);
    button->setEnabled(static_cast<bool>(action));
    if (action)
        connect(button, &QToolButton::clicked, this, [action] { action(); });
    return button;
}

void ControlView::addShortcut(const QKeySequence& keys, const std::function<void()>& action) {
    if (!action)
        return;
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, [action] { action(); });
}

QWidget* ControlView::primaryControl() const {
    return session_.timer().isRunning() ? static_cast<QWidget*>(countdown_->cancelButton())
                                        : start_->customField();
}

void ControlView::focusInEvent(QFocusEvent* event) {
    // Given the focus as a whole (a window opening): the custom field, or "Cancel" while a
    // timer runs. Tab never stops here: the view itself takes no focus.
    QWidget::focusInEvent(event);
    primaryControl()->setFocus(event->reason());
}

void ControlView::showTimerState() {
    const bool running = session_.timer().isRunning();
    // Keep the keyboard where it makes sense when one half replaces the other.
    const bool hadFocus = isAncestorOf(focusWidget());
    start_->setVisible(!running);
    countdown_->setVisible(running);
    if (hadFocus)
        primaryControl()->setFocus();
}

} // namespace mirl
