#include "ui/review/RecordingPicture.h"

#include "ui/review/ReviewStyle.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace mirl::review {

RecordingPicture::RecordingPicture(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setFixedHeight(kind == Kind::spectrogram ? 80 : 60);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

void RecordingPicture::setSpectrogram(const std::shared_ptr<const RgbaImage>& image) {
    image_ = image ? QImage(image->pixels.data(), image->width, image->height, image->width * 4,
                            QImage::Format_RGBA8888)
                         .copy()
                   : QImage();
    update();
}

void RecordingPicture::setPeaks(std::vector<float> peaks) {
    peaks_ = std::move(peaks);
    update();
}

void RecordingPicture::setTimes(double currentSeconds, double durationSeconds) {
    if (currentSeconds == current_ && durationSeconds == duration_)
        return;
    current_ = currentSeconds;
    duration_ = durationSeconds;
    update();
}

void RecordingPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    QPainterPath rounded;
    rounded.addRoundedRect(area, 6, 6);
    painter.fillPath(rounded, withAlpha(Qt::black, 0.15));
    painter.setClipPath(rounded);
    if (kind_ == Kind::spectrogram && !image_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(area, image_);
    } else if (kind_ == Kind::waveform) {
        paintWaveform(painter, area);
    }
    if (duration_ > 0) {
        const double x = area.width() * std::clamp(current_ / duration_, 0.0, 1.0);
        painter.setPen(QPen(withAlpha(red(), 0.9), 1));
        painter.drawLine(QPointF(x, 0), QPointF(x, area.height()));
    }
}

void RecordingPicture::paintWaveform(QPainter& painter, const QRectF& area) {
    const std::size_t n = peaks_.size();
    if (n == 0)
        return;
    // Scaled to the 90th percentile so that a few loud moments do not flatten the night.
    std::vector<float> sorted = peaks_;
    std::sort(sorted.begin(), sorted.end());
    const double reference =
        std::max<double>(sorted[std::min(n - 1, static_cast<std::size_t>(0.9 * n))], 1e-6);
    QColor accent = palette().color(QPalette::Highlight);
    painter.setPen(QPen(withAlpha(accent, 0.8), 1));
    const double middle = area.height() / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = area.width() * static_cast<double>(i) / static_cast<double>(n);
        const double h = 0.45 * area.height() * std::min(peaks_[i] / reference, 1.0);
        painter.drawLine(QPointF(x, middle - h), QPointF(x, middle + h));
    }
}

void RecordingPicture::seekTo(double x) {
    if (duration_ > 0 && width() > 0 && onSeek)
        onSeek(std::clamp(x / width(), 0.0, 1.0) * duration_);
}

void RecordingPicture::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        seekTo(event->position().x());
}

void RecordingPicture::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        seekTo(event->position().x());
}

} // namespace mirl::review
