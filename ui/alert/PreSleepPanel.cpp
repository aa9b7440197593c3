#include "ui/alert/PreSleepPanel.h"

#include "ui/art/WindowLook.h"

#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include <array>

namespace mirl {

namespace {

constexpr int kWidth = 340;
constexpr int kHeight = 150;
constexpr std::array kExtendMinutes{10, 20, 30};

/// The panel's window: a dark card in the manner of a heads-up display.
class PanelWindow final : public QWidget {
public:
    PanelWindow()
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus) {
        setObjectName(QStringLiteral("MirlPreSleepPanel"));
        setWindowTitle(QStringLiteral("Mirl"));
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_X11DoNotAcceptFocus);
        setAttribute(Qt::WA_DeleteOnClose);
        setFocusPolicy(Qt::NoFocus);
        setFixedSize(kWidth, kHeight);
        rounded_ = useTranslucentFrame(*this);
        QPalette hud = palette();
        hud.setColor(QPalette::Window, QColor(0x24, 0x27, 0x30, rounded_ ? 235 : 255));
        hud.setColor(QPalette::WindowText, QColor(0xf2, 0xf3, 0xf5));
        hud.setColor(QPalette::Button, QColor(0x3a, 0x3e, 0x4a));
        hud.setColor(QPalette::ButtonText, QColor(0xf2, 0xf3, 0xf5));
        setPalette(hud);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintWindowCard(painter, rect(), palette().color(QPalette::Window), QColor(255, 255, 255, 40),
                        rounded_, 14.0);
    }

private:
    bool rounded_ = false;
};

QLabel* label(QWidget* parent, const QString& text, int pixelSize, QFont::Weight weight, const QRect& frame) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    // Wide fonts would cut the header short: give up a pixel or two of size instead.
    while (font.pixelSize() > 10 && QFontMetrics(font).horizontalAdvance(text) > frame.width())
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(frame);
    return label;
}

QString buttonStyle(int radius, bool prominent) {
    return QStringLiteral("QPushButton { color: #f2f3f5; background: %1; border: 1px solid %2;"
                          " border-radius: %3px; font-weight: 600; }"
                          "QPushButton:hover { background: %4; }"
                          "QPushButton:pressed { background: %5; }")
        .arg(prominent ? QStringLiteral("#3d4558") : QStringLiteral("#343845"),
             QStringLiteral("rgba(255,255,255,40)"), QString::number(radius),
             prominent ? QStringLiteral("#4a5470") : QStringLiteral("#424757"), QStringLiteral("#2b2e38"));
}

QPushButton* button(QWidget* parent, const QString& text, const QRect& frame, int radius, bool prominent) {
    auto* button = new QPushButton(text, parent);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(frame);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(buttonStyle(radius, prominent));
    return button;
}

} // namespace

PreSleepPanel::PreSleepPanel() = default;

PreSleepPanel::~PreSleepPanel() {
    delete window_.data();
}

void PreSleepPanel::open() {
    close();
    auto* window = new PanelWindow;
    // Frames as laid out for the panel, top-down.
    label(window, QStringLiteral("Mirl will soon put the computer to sleep"), 14, QFont::DemiBold,
          QRect(16, 18, 308, 22));
    countdown_ = label(window, QString(), 22, QFont::Medium, QRect(16, 44, 308, 28));
    QPalette secondary = countdown_->palette();
    secondary.setColor(QPalette::WindowText, QColor(0xf2, 0xf3, 0xf5, 170));
    countdown_->setPalette(secondary);
    for (std::size_t i = 0; i < kExtendMinutes.size(); ++i) {
        const int minutes = kExtendMinutes[i];
        auto* extend = button(window, QStringLiteral("+%1").arg(minutes),
                              QRect(62 + 76 * static_cast<int>(i), 82, 64, 30), 15, false);
        extend->setObjectName(QStringLiteral("extend%1").arg(minutes));
        QObject::connect(extend, &QPushButton::clicked, window, [this, minutes] {
            if (onExtend)
                onExtend(minutes);
        });
    }
    auto* sleepNow = button(window, QStringLiteral("Sleep now"), QRect(70, 118, 200, 24), 6, true);
    sleepNow->setObjectName(QStringLiteral("sleepNow"));
    QObject::connect(sleepNow, &QPushButton::clicked, window, [this] {
        if (onSleepNow)
            onSleepNow();
    });

    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        window->move(area.center() - QPoint(kWidth / 2, kHeight / 2));
    }
    window_ = window;
    window->show();
    window->raise();
}

void PreSleepPanel::setCountdownText(const std::string& text) {
    if (countdown_)
        countdown_->setText(QString::fromStdString(text));
    // Another window may have been raised over ours since.
    if (window_)
        window_->raise();
}

void PreSleepPanel::close() {
    countdown_ = nullptr;
    if (QWidget* window = window_.data()) {
        window_ = nullptr;
        // A button of this window may be calling us: let it return first.
        window->hide();
        window->deleteLater();
    }
}

} // namespace mirl
