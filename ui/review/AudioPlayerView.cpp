#include "ui/review/AudioPlayerView.h"

#include "journal/annotations/SleepIntervals.h"
#include "ui/review/RecordingPicture.h"
#include "ui/review/ReviewIcons.h"
#include "ui/review/ReviewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace mirl::review {

namespace {

enum Page { loadingPage, emptyPage, picturesPage };

QWidget* framedPlaceholder(QWidget* parent, QLayout* content) {
    auto* box = new QWidget(parent);
    box->setFixedHeight(100);
    box->setLayout(content);
    box->setAutoFillBackground(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, withAlpha(Qt::black, 0.06));
    box->setPalette(palette);
    return box;
}

QToolButton* toolButton(QWidget* parent, Glyph glyph, const QString& tip, const QString& text = {}) {
    auto* button = new QToolButton(parent);
    button->setIcon(icon(glyph));
    button->setIconSize(QSize(18, 18));
    button->setToolTip(tip);
    if (!text.isEmpty()) {
        button->setText(text);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    button->setAutoRaise(true);
    return button;
}

} // namespace

AudioPlayerView::AudioPlayerView(AudioPlayerModel& player, QWidget* parent)
    : QWidget(parent), player_(player) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("playerPages"));
    column->addWidget(pages_);

    auto* loadingColumn = new QVBoxLayout;
    auto* progress = new QProgressBar;
    progress->setRange(0, 0);
    progress->setMaximumWidth(220);
    progress->setTextVisible(false);
    auto* decoding = new QLabel(tr("Decoding audio\u2026"));
    loadingColumn->addStretch();
    loadingColumn->addWidget(progress, 0, Qt::AlignHCenter);
    loadingColumn->addWidget(decoding, 0, Qt::AlignHCenter);
    loadingColumn->addStretch();
    pages_->addWidget(framedPlaceholder(this, loadingColumn));

    auto* emptyColumn = new QVBoxLayout;
    auto* noAudio = new QLabel(tr("No audio loaded"));
    placeholderNote_ = new QLabel;
    placeholderNote_->setObjectName(QStringLiteral("placeholderNote"));
    placeholderNote_->setFont(sizedFont(10));
    placeholderNote_->setForegroundRole(QPalette::PlaceholderText);
    placeholderNote_->setWordWrap(true);
    placeholderNote_->setAlignment(Qt::AlignCenter);
    emptyColumn->addStretch();
    emptyColumn->addWidget(noAudio, 0, Qt::AlignHCenter);
    emptyColumn->addWidget(placeholderNote_);
    emptyColumn->addStretch();
    pages_->addWidget(framedPlaceholder(this, emptyColumn));

    auto* pictures = new QWidget(this);
    auto* pictureColumn = new QVBoxLayout(pictures);
    pictureColumn->setContentsMargins(0, 0, 0, 0);
    pictureColumn->setSpacing(6);
    spectrogram_ = new RecordingPicture(RecordingPicture::Kind::spectrogram, pictures);
    waveform_ = new RecordingPicture(RecordingPicture::Kind::waveform, pictures);
    for (auto* picture : {spectrogram_, waveform_}) {
        picture->onSeek = [this](double seconds) { player_.seek(seconds); };
        pictureColumn->addWidget(picture);
    }
    problem_ = new QLabel(pictures);
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setWordWrap(true);
    problem_->setFont(sizedFont(10));
    problem_->setStyleSheet(QStringLiteral("color: %1").arg(orange().darker(130).name()));
    pictureColumn->addWidget(problem_);

    auto* transport = new QHBoxLayout;
    transport->setSpacing(2);
    auto* back = toolButton(pictures, Glyph::back15, tr("Back 15 seconds"));
    playButton_ = toolButton(pictures, Glyph::play, tr("Play (space bar)"));
    playButton_->setIconSize(QSize(22, 22));
    auto* forward = toolButton(pictures, Glyph::forward15, tr("Forward 15 seconds"));
    timeLabel_ = new QLabel(pictures);
    timeLabel_->setFont(sizedFont(11));
    timeLabel_->setForegroundRole(QPalette::PlaceholderText);
    auto* sleepHere = toolButton(pictures, Glyph::moonZzz, tr("Mark sleep onset at the current time"),
                                 tr("Fell asleep here"));
    auto* wakeHere =
        toolButton(pictures, Glyph::sun, tr("Mark the wake-up at the current time"), tr("Woke up here"));
    sleepHere->setObjectName(QStringLiteral("markSleep"));
    wakeHere->setObjectName(QStringLiteral("markWake"));
    playButton_->setObjectName(QStringLiteral("play"));
    transport->addWidget(back);
    transport->addWidget(playButton_);
    transport->addWidget(forward);
    transport->addSpacing(8);
    transport->addWidget(timeLabel_);
    transport->addStretch();
    transport->addWidget(sleepHere);
    transport->addWidget(wakeHere);
    pictureColumn->addLayout(transport);
    pages_->addWidget(pictures);
    transport_ = {back, playButton_, forward};

    connect(back, &QToolButton::clicked, this, [this] { player_.skip(-15); });
    connect(forward, &QToolButton::clicked, this, [this] { player_.skip(15); });
    connect(playButton_, &QToolButton::clicked, this, [this] { player_.togglePlay(); });
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    space->setContext(Qt::WindowShortcut);
    connect(space, &QShortcut::activated, this, [this] {
        if (pages_->currentIndex() == picturesPage)
            player_.togglePlay();
    });
    connect(sleepHere, &QToolButton::clicked, this, [this] {
        if (onMarkSleep)
            onMarkSleep(player_.currentTime.get());
    });
    connect(wakeHere, &QToolButton::clicked, this, [this] {
        if (onMarkWake)
            onMarkWake(player_.currentTime.get());
    });

    auto state = [this](const auto&) { showState(); };
    auto times = [this](const auto&) { showTimes(); };
    subscriptions_.push_back(player_.isLoading.subscribe(state));
    subscriptions_.push_back(player_.url.subscribe(state));
    subscriptions_.push_back(player_.problem.subscribe(state));
    subscriptions_.push_back(
        player_.peaks.subscribe([this](const std::vector<float>& peaks) { waveform_->setPeaks(peaks); }));
    subscriptions_.push_back(player_.spectrogram.subscribe(
        [this](const std::shared_ptr<const RgbaImage>& image) { spectrogram_->setSpectrogram(image); }));
    subscriptions_.push_back(player_.currentTime.subscribe(times));
    subscriptions_.push_back(player_.duration.subscribe(times));
    subscriptions_.push_back(player_.isPlaying.subscribe([this](bool playing) {
        playButton_->setIcon(icon(playing ? Glyph::pause : Glyph::play));
        playButton_->setToolTip(playing ? tr("Pause (space bar)") : tr("Play (space bar)"));
    }));
    waveform_->setPeaks(player_.peaks.get());
    spectrogram_->setSpectrogram(player_.spectrogram.get());
    showState();
    showTimes();
}

void AudioPlayerView::showState() {
    const bool loaded = player_.url.get().has_value();
    const std::string problem = player_.problem.get();
    if (player_.isLoading.get()) {
        pages_->setCurrentIndex(loadingPage);
    } else if (!loaded) {
        pages_->setCurrentIndex(emptyPage);
        placeholderNote_->setText(tr("This session has no recording."));
    } else if (player_.peaks.get().empty() && !player_.canPlay()) {
        pages_->setCurrentIndex(emptyPage); // nothing to show or play: say why
        placeholderNote_->setText(QString::fromStdString(problem));
    } else {
        pages_->setCurrentIndex(picturesPage);
    }
    // The stack takes the height of the page it shows, not of its tallest page.
    for (int i = 0; i < pages_->count(); ++i)
        pages_->widget(i)->setSizePolicy(QSizePolicy::Preferred, i == pages_->currentIndex()
                                                                     ? QSizePolicy::Preferred
                                                                     : QSizePolicy::Ignored);
    pages_->updateGeometry();
    problem_->setText(QString::fromStdString(problem));
    problem_->setVisible(!problem.empty());
    for (auto* button : transport_)
        button->setEnabled(player_.canPlay());
}

void AudioPlayerView::showTimes() {
    const double current = player_.currentTime.get();
    const double duration = player_.duration.get();
    spectrogram_->setTimes(current, duration);
    waveform_->setTimes(current, duration);
    timeLabel_->setText(QString::fromStdString(timeText(current) + " / " + timeText(duration)));
}

} // namespace mirl::review
