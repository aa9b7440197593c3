#include "ui/review/AudioPlayerView.h"

#include "journal/annotations/SleepIntervals.h"
#include "ui/review/RecordingPicture.h"
#include "ui/review/ReviewIcons.h"
#include "ui/review/ReviewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

namespace mirl::review {

namespace {

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
    // One page shown at a time. Not a stacked widget: its layout gives every page's height at
    // the current width, and a hidden page's long word-wrapped note would leave a gap.
    auto addPage = [&](QWidget* page) {
        page->hide();
        column->addWidget(page);
        pages_.push_back(page);
    };

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
    addPage(framedPlaceholder(this, loadingColumn));

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
    addPage(framedPlaceholder(this, emptyColumn));

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
    addPage(pictures);
    transport_ = {back, playButton_, forward};

    connect(back, &QToolButton::clicked, this, [this] { player_.skip(-15); });
    connect(forward, &QToolButton::clicked, this, [this] { player_.skip(15); });
    connect(playButton_, &QToolButton::clicked, this, [this] { player_.togglePlay(); });
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    space->setContext(Qt::WindowShortcut);
    connect(space, &QShortcut::activated, this, [this] {
        if (page_ == Page::pictures)
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
    subscriptions_.push_back(player_.canPlay.subscribe(state));
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
        showPage(Page::loading);
    } else if (!loaded) {
        showPage(Page::empty);
        placeholderNote_->setText(tr("This session has no recording."));
    } else if (player_.peaks.get().empty() && !player_.canPlay()) {
        showPage(Page::empty); // nothing to show or play: say why
        placeholderNote_->setText(QString::fromStdString(problem));
    } else {
        showPage(Page::pictures);
    }
    problem_->setText(QString::fromStdString(problem));
    problem_->setVisible(!problem.empty());
    for (auto* button : transport_)
        button->setEnabled(player_.canPlay());
}

void AudioPlayerView::showPage(Page page) {
    page_ = page;
    for (std::size_t i = 0; i < pages_.size(); ++i)
        pages_[i]->setVisible(i == static_cast<std::size_t>(page));
}

void AudioPlayerView::showTimes() {
    const double current = player_.currentTime.get();
    const double duration = player_.duration.get();
    spectrogram_->setTimes(current, duration);
    waveform_->setTimes(current, duration);
    timeLabel_->setText(QString::fromStdString(timeText(current) + " / " + timeText(duration)));
}

} // namespace mirl::review
