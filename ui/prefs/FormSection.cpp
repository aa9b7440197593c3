#include "ui/prefs/FormSection.h"

#include "core/PlatformWords.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <string>

namespace mirl {

QString uiText(std::string_view text) {
    return QString::fromStdString(platformText(text));
}

QLabel* makeNote(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.88);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

FormSection::FormSection(const QString& title, QWidget* parent)
    : QGroupBox(title, parent), column_(new QVBoxLayout(this)) {
    column_->setSpacing(6);
}

void FormSection::addControl(QWidget* control, const QString& help) {
    column_->addWidget(control);
    if (!help.isEmpty()) {
        auto* note = addNote(help);
        // Under the control's text, not under its box.
        note->setContentsMargins(22, 0, 0, 4);
    }
}

void FormSection::addRow(const QString& title, QWidget* control, const QString& help) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(title, this);
    label->setBuddy(control);
    row->addWidget(label);
    row->addStretch(1);
    row->addWidget(control);
    column_->addLayout(row);
    if (!help.isEmpty())
        addNote(help);
}

QLabel* FormSection::addNote(const QString& text) {
    auto* note = makeNote(text, this);
    column_->addWidget(note);
    return note;
}

FormPage::FormPage(QWidget* parent) : QScrollArea(parent) {
    auto* content = new QWidget(this);
    column_ = new QVBoxLayout(content);
    column_->setContentsMargins(14, 14, 14, 14);
    column_->setSpacing(12);
    setWidget(content);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

FormSection* FormPage::addSection(const QString& title) {
    auto* section = new FormSection(title, widget());
    column_->addWidget(section);
    return section;
}

void FormPage::addWidget(QWidget* widget) {
    column_->addWidget(widget);
}

void FormPage::finish() {
    column_->addStretch(1);
}

} // namespace mirl
