#pragma once

#include <QGroupBox>
#include <QScrollArea>

#include <string_view>

class QLabel;
class QVBoxLayout;

namespace mirl {

/// A user-visible text with this platform's words (PlatformWords).
QString uiText(std::string_view text);

/// One titled section of a preferences tab: controls stacked in a column, each optionally with
/// a help text under it, and a footer.
class FormSection : public QGroupBox {
    Q_OBJECT
public:
    explicit FormSection(const QString& title, QWidget* parent = nullptr);

    /// A control on its own line, with the help text under it when one is given.
    void addControl(QWidget* control, const QString& help = {});
    /// A titled row: the title on the left, the control on the right.
    void addRow(const QString& title, QWidget* control, const QString& help = {});
    /// A secondary text (help, note or footer) in the smaller, dimmer style.
    QLabel* addNote(const QString& text);
    QVBoxLayout* column() const { return column_; }

private:
    QVBoxLayout* column_;
};

/// A smaller, dimmer, word-wrapped label for help texts and footers.
QLabel* makeNote(const QString& text, QWidget* parent = nullptr);

/// A preferences tab: a scrollable column of sections.
class FormPage : public QScrollArea {
    Q_OBJECT
public:
    explicit FormPage(QWidget* parent = nullptr);
    FormSection* addSection(const QString& title);
    void addWidget(QWidget* widget);
    /// Ends the column: what follows stays at the top.
    void finish();
    QVBoxLayout* column() const { return column_; }

private:
    QVBoxLayout* column_;
};

} // namespace mirl
