#pragma once

#include "journal/recording/RecordingAnalysis.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <vector>

namespace mirl::review {

/// The spectrogram or the waveform of the loaded recording, stretched to the width, with the
/// playhead; a click or a drag seeks to that place.
class RecordingPicture final : public QWidget {
public:
    enum class Kind { spectrogram, waveform };
    RecordingPicture(Kind kind, QWidget* parent = nullptr);

    void setSpectrogram(const std::shared_ptr<const RgbaImage>& image);
    void setPeaks(std::vector<float> peaks);
    void setTimes(double currentSeconds, double durationSeconds);

    std::function<void(double seconds)> onSeek;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void seekTo(double x);
    void paintWaveform(QPainter& painter, const QRectF& area);

    Kind kind_;
    QImage image_;
    std::vector<float> peaks_;
    double current_ = 0;
    double duration_ = 0;
};

} // namespace mirl::review
