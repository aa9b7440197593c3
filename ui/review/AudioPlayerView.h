#pragma once

#include "journal/recording/AudioPlayerModel.h"
#include "runtime/Handle.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QToolButton;
class QPushButton;

namespace mirl::review {

class RecordingPicture;

/// The recording of the selected session: "Decoding audio…" while the analysis runs, "No
/// audio loaded" without a recording, else the spectrogram and the waveform with the playhead,
/// the transport row and the two marking buttons. Says why when the recording cannot be
/// played or pictured.
class AudioPlayerView final : public QWidget {
public:
    explicit AudioPlayerView(AudioPlayerModel& player, QWidget* parent = nullptr);

    std::function<void(double seconds)> onMarkSleep;
    std::function<void(double seconds)> onMarkWake;

    enum class Page { loading, empty, pictures };
    /// The page shown: progress, the placeholder (with why) or the pictures and transport.
    Page page() const { return page_; }

private:
    void showState();
    void showTimes();
    void showPage(Page page);

    AudioPlayerModel& player_;
    std::vector<QWidget*> pages_; // in the order of Page
    Page page_ = Page::loading;
    QLabel* placeholderNote_;
    RecordingPicture* spectrogram_;
    RecordingPicture* waveform_;
    QToolButton* playButton_;
    std::vector<QToolButton*> transport_;
    QLabel* timeLabel_;
    QLabel* problem_;
    std::vector<Handle> subscriptions_;
};

} // namespace mirl::review
