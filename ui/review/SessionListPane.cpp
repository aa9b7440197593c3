#include "ui/review/SessionListPane.h"

#include "ui/review/ReviewIcons.h"
#include "ui/review/ReviewStyle.h"
#include "ui/review/SegmentedControl.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

namespace mirl::review {

namespace {

enum Role { annotatedRole = Qt::UserRole + 1, typeRole, missingAudioRole };

QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

/// A session row: dot, monospaced id, type badge, "missing audio".
class SessionRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 28);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        option.widget->style()->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const bool selected = option.state & QStyle::State_Selected;
        const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        QRectF area = QRectF(option.rect).adjusted(8, 0, -8, 0);
        const double middle = area.center().y();

        const bool annotated = index.data(annotatedRole).toBool();
        painter->setPen(Qt::NoPen);
        painter->setBrush(annotated ? green() : withAlpha(grey(), 0.4));
        painter->drawEllipse(QPointF(area.left() + 4, middle), 4, 4);
        area.setLeft(area.left() + 16);

        const QFont idFont = sizedFont(12, QFont::Normal, true);
        painter->setFont(idFont);
        painter->setPen(text);
        const QString id = index.data(Qt::DisplayRole).toString();
        const double idWidth = QFontMetricsF(idFont).horizontalAdvance(id);
        painter->drawText(area, Qt::AlignVCenter | Qt::AlignLeft, id);
        double x = area.left() + idWidth + 8;

        const QFont small = sizedFont(10);
        painter->setFont(small);
        const QFontMetricsF metrics(small);
        const QString type = index.data(typeRole).toString();
        if (!type.isEmpty()) {
            const QRectF badge(x, middle - 8, metrics.horizontalAdvance(type) + 10, 16);
            QPainterPath shape;
            shape.addRoundedRect(badge, 4, 4);
            painter->fillPath(shape,
                              withAlpha(selected ? text : option.palette.color(QPalette::Highlight), 0.18));
            painter->setPen(text);
            painter->drawText(badge, Qt::AlignCenter, type);
            x = badge.right() + 8;
        }
        if (index.data(missingAudioRole).toBool()) {
            painter->setPen(selected ? text : option.palette.color(QPalette::PlaceholderText));
            const QRectF rest(x, area.top(), std::max(0.0, area.right() - x), area.height());
            painter->drawText(rest, Qt::AlignVCenter | Qt::AlignLeft,
                              metrics.elidedText(QObject::tr("missing audio"), Qt::ElideRight, rest.width()));
        }
        painter->restore();
    }
};

} // namespace

SessionListPane::SessionListPane(AnnotationStore& store, QWidget* parent) : QWidget(parent), store_(store) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);

    auto* header = new QHBoxLayout;
    auto* title = new QLabel(tr("Sessions"), this);
    title->setFont(sizedFont(13, QFont::DemiBold));
    auto* refresh = new QToolButton(this);
    refresh->setIcon(icon(Glyph::refresh));
    refresh->setAutoRaise(true);
    refresh->setToolTip(tr("Refresh the list"));
    header->addWidget(title);
    header->addStretch();
    header->addWidget(refresh);
    column->addLayout(header);

    QStringList filters;
    for (SessionFilter filter : kSessionFilters)
        filters << qtext(label(filter));
    filter_ = new SegmentedControl(filters, this);
    column->addWidget(filter_);

    typeMenu_ = new QPushButton(this);
    typeMenu_->setObjectName(QStringLiteral("typeMenu"));
    auto* menu = new QMenu(typeMenu_);
    auto* types = new QActionGroup(menu);
    auto addType = [&](const QString& text, std::optional<SessionType> type) {
        QAction* action = menu->addAction(text);
        action->setCheckable(true);
        action->setChecked(!type);
        types->addAction(action);
        connect(action, &QAction::triggered, this, [this, type] { store_.typeFilter.set(type); });
    };
    addType(tr("All types"), std::nullopt);
    menu->addSeparator();
    for (SessionType type : kSessionTypes)
        addType(qtext(label(type)), type);
    typeMenu_->setMenu(menu);
    column->addWidget(typeMenu_, 0, Qt::AlignLeft);

    list_ = new QListWidget(this);
    list_->setItemDelegate(new SessionRowDelegate(list_));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setUniformItemSizes(true);
    column->addWidget(list_, 1);

    connect(refresh, &QToolButton::clicked, this, [this] { store_.refresh(); });
    filter_->onSelected = [this](int index) { store_.filter.set(kSessionFilters[index]); };
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (rebuilding_)
            return;
        std::optional<SessionRef> session;
        if (row >= 0 && row < static_cast<int>(shown_.size()))
            session = shown_[static_cast<std::size_t>(row)];
        selectedId_ = session ? std::optional(session->id) : std::nullopt;
        if (onSelected)
            onSelected(session);
    });
    connect(list_, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int row = list_->row(list_->itemAt(at));
        if (row < 0 || row >= static_cast<int>(shown_.size()))
            return;
        const SessionRef session = shown_[static_cast<std::size_t>(row)];
        QMenu context;
        QAction* remove = context.addAction(icon(Glyph::trash), tr("Delete"));
        if (context.exec(list_->viewport()->mapToGlobal(at)) == remove && onDeleteRequested)
            onDeleteRequested(session);
    });

    auto changed = [this](const auto&) { rebuild(); };
    subscriptions_.push_back(store_.sessions.subscribe(changed));
    subscriptions_.push_back(store_.existingAnnotations.subscribe(changed));
    subscriptions_.push_back(store_.filter.subscribe(changed));
    subscriptions_.push_back(store_.typeFilter.subscribe([this, changed](const auto& value) {
        showTypeFilter();
        changed(value);
    }));
    showTypeFilter();
    rebuild();
}

void SessionListPane::showTypeFilter() {
    const auto type = store_.typeFilter.get();
    typeMenu_->setText(tr("Type: %1").arg(type ? qtext(label(*type)) : tr("All types")));
}

void SessionListPane::select(const std::optional<std::string>& sessionId) {
    selectedId_ = sessionId;
    rebuilding_ = true;
    int row = -1;
    for (std::size_t i = 0; i < shown_.size(); ++i)
        if (sessionId && shown_[i].id == *sessionId)
            row = static_cast<int>(i);
    list_->setCurrentRow(row);
    if (row < 0)
        list_->clearSelection();
    rebuilding_ = false;
}

void SessionListPane::rebuild() {
    shown_ = store_.filteredSessions();
    rebuilding_ = true;
    list_->clear();
    for (const auto& session : shown_) {
        auto* item = new QListWidgetItem(QString::fromStdString(session.id), list_);
        item->setData(annotatedRole, store_.isAnnotated(session.id));
        const auto type = store_.annotatedType(session.id);
        item->setData(typeRole, type ? qtext(label(*type)) : QString());
        item->setData(missingAudioRole, !session.recordingURL.has_value());
        item->setToolTip(session.recordingURL ? QString() : tr("This session has no recording."));
    }
    rebuilding_ = false;
    select(selectedId_); // the selection stays on its session when it is still shown
}

} // namespace mirl::review
