#pragma once

#include <QString>
#include <QVariantAnimation>
#include <QWidget>

namespace mirl {

/// The running timer's ring, 140 x 140: a faint track, an arc over the elapsed part (it glides
/// to each new value over a second) and the remaining time in the middle.
class CountdownRing final : public QWidget {
public:
    explicit CountdownRing(QWidget* parent = nullptr);

    void setProgress(double progress);
    void setText(const QString& text);

    QString text() const { return text_; }
    double progress() const { return target_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    double target_ = 0;
    QVariantAnimation shown_;
};

} // namespace mirl
