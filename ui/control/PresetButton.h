#pragma once

#include <QAbstractButton>

namespace mirl {

/// A preset duration: the number of minutes (semibold) over the word "min", on a soft tile.
class PresetButton final : public QAbstractButton {
public:
    PresetButton(int minutes, QWidget* parent = nullptr);

    int minutes() const { return minutes_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int minutes_;
    bool hovered_ = false;
};

} // namespace mirl
