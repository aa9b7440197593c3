#include "ui/review/ReviewWindow.h"

#include "ui/review/AnalysisTimelineView.h"
#include "ui/review/AnnotationForm.h"
#include "ui/review/AudioPlayerView.h"
#include "ui/review/ReviewIcons.h"
#include "ui/review/ReviewStyle.h"
#include "ui/review/SessionListPane.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace mirl::review {

namespace {

/// The form's fields from a stored annotation, each with its default when absent or of
/// another kind.
AnnotationForm::Fields fieldsOf(const nlohmann::json* annotation) {
    AnnotationForm::Fields fields;
    if (annotation == nullptr)
        return fields;
    auto text = [&](const char* key) -> std::string {
        const auto it = annotation->find(key);
        return it != annotation->end() && it->is_string() ? it->get<std::string>() : std::string();
    };
    fields.intervals = text("sleep_intervals");
    fields.comment = text("comment");
    fields.type = sessionTypeFromStoredText(text("type")).value_or(SessionType::other);
    // A whole number (5 or 5.0), held within the scale: a number beyond int would not convert.
    if (const auto q = annotation->find("quality");
        q != annotation->end() && q->is_number() && q->get<double>() == std::floor(q->get<double>()))
        fields.quality = static_cast<int>(std::clamp(q->get<double>(), 1.0, 5.0));
    return fields;
}

void openLocation(const std::filesystem::path& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path.string())));
}

} // namespace

ReviewWindow::ReviewWindow(AnnotationStore& store, AudioPlayerModel& player, QWidget* parent)
    : QWidget(parent), store_(store), player_(player) {
    setWindowTitle(tr("Annotation"));
    setMinimumSize(800, 600);
    resize(1100, 780);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(splitter);

    list_ = new SessionListPane(store_, splitter);
    list_->setMinimumWidth(240);
    list_->setMaximumWidth(400);
    splitter->addWidget(list_);

    detail_ = new QStackedWidget(splitter);
    detail_->setMinimumWidth(480);
    auto* nothing = new QLabel(tr("Select a session on the left."), detail_);
    nothing->setAlignment(Qt::AlignCenter);
    nothing->setForegroundRole(QPalette::PlaceholderText);
    detail_->addWidget(nothing);

    auto* scroll = new QScrollArea(detail_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* page = new QWidget(scroll);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(16, 12, 16, 16);
    column->setSpacing(14);

    auto* header = new QHBoxLayout;
    title_ = new QLabel(page);
    title_->setFont(sizedFont(13, QFont::DemiBold));
    title_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    openRecording_ = new QToolButton(page);
    openRecording_->setIcon(icon(Glyph::openExternal));
    openRecording_->setAutoRaise(true);
    openRecording_->setToolTip(tr("Open in the system app"));
    auto* openFolder = new QToolButton(page);
    openFolder->setIcon(icon(Glyph::folder));
    openFolder->setAutoRaise(true);
    openFolder->setToolTip(tr("Show the session log's folder"));
    header->addWidget(title_);
    header->addStretch();
    header->addWidget(openRecording_);
    header->addWidget(openFolder);
    column->addLayout(header);

    playerView_ = new AudioPlayerView(player_, page);
    column->addWidget(playerView_);
    timeline_ = new AnalysisTimelineView(page);
    timeline_->setObjectName(QStringLiteral("timeline"));
    column->addWidget(timeline_);
    noTimeline_ = new QLabel(tr("No analysis: the session log holds no readable event."), page);
    noTimeline_->setObjectName(QStringLiteral("noTimeline"));
    noTimeline_->setFont(sizedFont(10));
    noTimeline_->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(noTimeline_);
    form_ = new AnnotationForm(page);
    column->addWidget(form_);
    column->addStretch();
    scroll->setWidget(page);
    detail_->addWidget(scroll);
    splitter->addWidget(detail_);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({280, 820});

    list_->onSelected = [this](std::optional<SessionRef> session) { select(std::move(session)); };
    list_->onDeleteRequested = [this](const SessionRef& session) { requestDelete(session); };
    playerView_->onMarkSleep = [this](double t) { markSleep(t); };
    playerView_->onMarkWake = [this](double t) { markWake(t); };
    timeline_->onSeek = [this](double t) { player_.seek(t); };
    form_->onIntervalsEdited = [this](const std::string& text) { intervals_.intervals = text; };
    form_->onSave = [this] { save(); };
    connect(openRecording_, &QToolButton::clicked, this, [this] {
        if (selected_ && selected_->recordingURL)
            openLocation(*selected_->recordingURL);
    });
    connect(openFolder, &QToolButton::clicked, this, [this] {
        if (selected_)
            openLocation(selected_->sessionURL.parent_path());
    });

    subscriptions_.push_back(
        player_.currentTime.subscribe([this](double t) { timeline_->setPlayerCurrentTime(t); }));
    subscriptions_.push_back(player_.duration.subscribe([this](double duration) {
        if (selected_ && duration > 0)
            computeAnalysis();
    }));
    subscriptions_.push_back(player_.isLoading.subscribe([this](bool loading) {
        if (selected_ && !loading && awaitingDuration_)
            computeAnalysis(); // neither the player nor the analysis could measure the recording
    }));
    select(std::nullopt);
}

ReviewWindow::~ReviewWindow() {
    subscriptions_.clear();
    player_.unload();
}

void ReviewWindow::selectSession(const std::optional<std::string>& sessionId) {
    std::optional<SessionRef> session;
    for (const auto& candidate : store_.sessions.get())
        if (sessionId && candidate.id == *sessionId)
            session = candidate;
    list_->select(session ? std::optional(session->id) : std::nullopt);
    select(std::move(session));
}

void ReviewWindow::select(std::optional<SessionRef> session) {
    selected_ = std::move(session);
    awaitingDuration_ = false;
    intervals_ = {};
    form_->setSaved(false);
    if (!selected_) {
        player_.unload();
        analysis_.reset();
        timeline_->setAnalysis(nullptr);
        detail_->setCurrentIndex(0);
        return;
    }
    detail_->setCurrentIndex(1);
    title_->setText(QString::fromStdString(selected_->id));
    openRecording_->setVisible(selected_->recordingURL.has_value());

    const auto annotations = store_.existingAnnotations.get();
    const auto found = annotations.find(selected_->id);
    const auto fields = fieldsOf(found != annotations.end() ? &found->second : nullptr);
    form_->setFields(fields);
    intervals_.intervals = fields.intervals;

    if (selected_->recordingURL)
        player_.load(*selected_->recordingURL);
    else
        player_.unload();
    if (player_.duration.get() > 0 || !player_.isLoading.get()) {
        computeAnalysis();
    } else {
        // The recording's length comes with its player in a moment: analyse the log once, then.
        awaitingDuration_ = true;
        analysis_.reset();
        timeline_->setAnalysis(nullptr);
        timeline_->setVisible(false);
        noTimeline_->setVisible(false);
    }
}

void ReviewWindow::computeAnalysis() {
    if (!selected_)
        return;
    awaitingDuration_ = false;
    const double duration = player_.duration.get();
    auto analysis =
        analyzeSession(selected_->sessionURL, duration > 0 ? std::optional(duration) : std::nullopt);
    analysis_ = analysis ? std::make_shared<const SessionAnalysis>(std::move(*analysis)) : nullptr;
    timeline_->setAnalysis(analysis_);
    timeline_->setVisible(analysis_ != nullptr);
    noTimeline_->setVisible(analysis_ == nullptr);
}

void ReviewWindow::markSleep(double seconds) {
    intervals_.markSleep(seconds);
    form_->setIntervals(intervals_.intervals);
}

void ReviewWindow::markWake(double seconds) {
    intervals_.markWake(seconds);
    form_->setIntervals(intervals_.intervals);
}

void ReviewWindow::save() {
    if (!selected_)
        return;
    const auto fields = form_->fields();
    if (store_.saveAnnotation(selected_->id, fields.type, fields.intervals, fields.quality, fields.comment))
        form_->setSaved(true);
}

void ReviewWindow::requestDelete(const SessionRef& session) {
    const bool confirmed = confirmDelete ? confirmDelete(session) : askToDelete(session);
    if (!confirmed)
        return;
    const bool wasSelected = selected_ && selected_->id == session.id;
    if (wasSelected)
        select(std::nullopt); // lets go of the recording before its file goes
    store_.deleteSession(session);
    if (wasSelected)
        list_->select(std::nullopt);
}

bool ReviewWindow::askToDelete(const SessionRef& session) {
    QMessageBox box(this);
    box.setWindowTitle(tr("Delete this session?"));
    box.setText(tr("Delete this session?"));
    box.setInformativeText(tr("Permanently deletes the session log + recording."));
    box.setIcon(QMessageBox::Warning);
    auto* remove = box.addButton(tr("Delete (%1)").arg(QString::fromStdString(session.id)),
                                 QMessageBox::DestructiveRole);
    box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(qobject_cast<QPushButton*>(box.buttons().last()));
    box.exec();
    return box.clickedButton() == remove;
}

} // namespace mirl::review
