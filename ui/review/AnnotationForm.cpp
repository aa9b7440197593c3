#include "ui/review/AnnotationForm.h"

#include "ui/review/ReviewStyle.h"
#include "ui/review/SegmentedControl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QVBoxLayout>

namespace mirl::review {

namespace {

QLabel* caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(sizedFont(13, QFont::DemiBold));
    return label;
}

} // namespace

AnnotationForm::AnnotationForm(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);

    column->addWidget(caption(tr("Session type"), this));
    QStringList types;
    for (SessionType type : kSessionTypes)
        types << QString::fromUtf8(label(type).data(), static_cast<int>(label(type).size()));
    type_ = new SegmentedControl(types, this);
    column->addWidget(type_);

    column->addSpacing(4);
    column->addWidget(caption(tr("Sleep periods"), this));
    intervals_ = new QLineEdit(this);
    intervals_->setObjectName(QStringLiteral("intervals"));
    intervals_->setPlaceholderText(QStringLiteral("14:30-17:35"));
    column->addWidget(intervals_);
    auto* hint = new QLabel(tr("Format: mm:ss-mm:ss, comma-separated. E.g. 14:30-17:35, 22:10-28:00"), this);
    hint->setFont(sizedFont(10));
    hint->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(hint);

    column->addSpacing(4);
    qualityLabel_ = caption(QString(), this);
    qualityLabel_->setObjectName(QStringLiteral("qualityLabel"));
    column->addWidget(qualityLabel_);
    quality_ = new QSlider(Qt::Horizontal, this);
    quality_->setRange(1, 5);
    quality_->setSingleStep(1);
    quality_->setPageStep(1);
    quality_->setTickPosition(QSlider::TicksBelow);
    quality_->setTickInterval(1);
    column->addWidget(quality_);

    column->addSpacing(4);
    column->addWidget(caption(tr("Free-form comment"), this));
    comment_ = new QPlainTextEdit(this);
    comment_->setFixedHeight(100);
    comment_->setStyleSheet(
        QStringLiteral("QPlainTextEdit { border: 1px solid palette(mid); border-radius: 6px; }"));
    column->addWidget(comment_);

    auto* actions = new QHBoxLayout;
    auto* save = new QPushButton(tr("Save"), this);
    save->setObjectName(QStringLiteral("save"));
    save->setDefault(true);
    save->setToolTip(tr("Save the annotation (Ctrl+Return)"));
    saved_ = new QLabel(tr("Saved"), this);
    saved_->setObjectName(QStringLiteral("saved"));
    saved_->setStyleSheet(QStringLiteral("color: %1; font-weight: 600").arg(green().darker(120).name()));
    actions->addWidget(save);
    actions->addWidget(saved_);
    actions->addStretch();
    column->addLayout(actions);
    setSaved(false);

    connect(quality_, &QSlider::valueChanged, this,
            [this](int value) { qualityLabel_->setText(tr("Perceived quality: %1/5").arg(value)); });
    quality_->setValue(3);
    qualityLabel_->setText(tr("Perceived quality: %1/5").arg(3));
    connect(intervals_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (onIntervalsEdited)
            onIntervalsEdited(text.toStdString());
    });
    auto trigger = [this] {
        if (onSave)
            onSave();
    };
    connect(save, &QPushButton::clicked, this, trigger);
    for (auto key : {Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, trigger);
    }
}

void AnnotationForm::setFields(const Fields& fields) {
    int index = 0;
    for (int i = 0; i < static_cast<int>(std::size(kSessionTypes)); ++i)
        if (kSessionTypes[i] == fields.type)
            index = i;
    type_->select(index);
    intervals_->setText(QString::fromStdString(fields.intervals));
    quality_->setValue(fields.quality); // the slider holds a stored 0 or 9 at its ends
    qualityLabel_->setText(tr("Perceived quality: %1/5").arg(quality_->value()));
    comment_->setPlainText(QString::fromStdString(fields.comment));
}

AnnotationForm::Fields AnnotationForm::fields() const {
    Fields fields;
    fields.type =
        kSessionTypes[std::clamp(type_->selected(), 0, static_cast<int>(std::size(kSessionTypes)) - 1)];
    fields.intervals = intervals_->text().toStdString();
    fields.quality = quality_->value();
    fields.comment = comment_->toPlainText().toStdString();
    return fields;
}

void AnnotationForm::setIntervals(const std::string& text) {
    intervals_->setText(QString::fromStdString(text));
}

void AnnotationForm::setSaved(bool saved) {
    saved_->setVisible(saved);
}

} // namespace mirl::review
