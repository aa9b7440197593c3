#include "ui/control/CountdownRing.h"

#include "ui/art/Tones.h"

#include <QConicalGradient>
#include <QPainter>

#include <algorithm>

namespace mirl {

namespace {

constexpr int kSide = 140;
constexpr qreal kStroke = 10.0;

} // namespace

CountdownRing::CountdownRing(QWidget* parent) : QWidget(parent) {
    setFixedSize(kSide, kSide);
    shown_.setDuration(1000);
    shown_.setEasingCurve(QEasingCurve::Linear);
    shown_.setStartValue(0.0);
    shown_.setEndValue(0.0);
    connect(&shown_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    setAccessibleName(QStringLiteral("Remaining time"));
}

void CountdownRing::setProgress(double progress) {
    progress = std::clamp(progress, 0.0, 1.0);
    if (progress == target_)
        return;
    const double from =
        shown_.state() == QAbstractAnimation::Running ? shown_.currentValue().toDouble() : target_;
    target_ = progress;
    shown_.stop();
    // A jump backwards (a new or extended timer) is shown at once; time only glides forwards.
    shown_.setStartValue(progress < from ? progress : from);
    shown_.setEndValue(progress);
    shown_.start();
}

void CountdownRing::setText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    setAccessibleDescription(text);
    update();
}

void CountdownRing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring =
        QRectF(rect()).adjusted(kStroke / 2 + 1, kStroke / 2 + 1, -kStroke / 2 - 1, -kStroke / 2 - 1);
    const QColor text = palette().color(QPalette::WindowText);

    painter.setPen(QPen(tone::withAlpha(text, 0.15), kStroke));
    painter.drawEllipse(ring);

    const double shown =
        shown_.state() == QAbstractAnimation::Running ? shown_.currentValue().toDouble() : target_;
    if (shown > 0) {
        // Clockwise from twelve o'clock; the colour runs along the arc. The gradient starts a
        // little before twelve so that the arc's round cap there takes the first colour too.
        constexpr qreal kLead = 8.0 / 360.0;
        const QColor first = QColor::fromRgbF(0.4f, 0.55f, 0.85f);
        const QColor last = QColor::fromRgbF(0.6f, 0.8f, 0.95f);
        QConicalGradient gradient(ring.center(), 90 + 360 * kLead);
        gradient.setColorAt(1.0, first);
        gradient.setColorAt(1.0 - kLead, first);
        gradient.setColorAt(std::max(0.0, 1.0 - kLead - shown), last);
        if (1.0 - kLead - shown > 0)
            gradient.setColorAt(0.0, last);
        painter.setPen(QPen(QBrush(gradient), kStroke, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(ring, 90 * 16, -static_cast<int>(shown * 360 * 16));
    }

    QFont font = painter.font();
    font.setPixelSize(28);
    font.setWeight(QFont::Normal);
    painter.setFont(font);
    painter.setPen(text);
    painter.drawText(rect(), Qt::AlignCenter, text_);
}

} // namespace mirl
