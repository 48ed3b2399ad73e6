#include "app/splash_window.h"

#include <QApplication>
#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "engine/version.h"

namespace corvalin {
namespace {

constexpr int kShowMs = 2000;
constexpr int kWidth = 480;
constexpr int kHeight = 300;

void DrawLighthouse(QPainter& p) {
    // The beam first, so the tower stands in front of it.
    QLinearGradient beam(350, 92, 80, 40);
    beam.setColorAt(0, QColor(255, 236, 170, 170));
    beam.setColorAt(1, QColor(255, 236, 170, 0));
    QPainterPath cone;
    cone.moveTo(352, 92);
    cone.lineTo(60, 30);
    cone.lineTo(60, 120);
    cone.closeSubpath();
    p.fillPath(cone, beam);

    QPainterPath tower;
    tower.moveTo(336, 226);
    tower.lineTo(344, 108);
    tower.lineTo(362, 108);
    tower.lineTo(370, 226);
    tower.closeSubpath();
    p.fillPath(tower, QColor(245, 242, 235));
    p.save();
    p.setClipPath(tower);
    for (int y = 130; y < 226; y += 36) p.fillRect(QRectF(330, y, 50, 14), QColor(178, 34, 52));
    p.restore();
    p.fillRect(QRectF(340, 96, 26, 12), QColor(255, 221, 120));
    p.fillRect(QRectF(338, 92, 30, 4), QColor(40, 44, 60));
    QPainterPath roof;
    roof.moveTo(336, 92);
    roof.lineTo(353, 76);
    roof.lineTo(370, 92);
    roof.closeSubpath();
    p.fillPath(roof, QColor(40, 44, 60));
    p.fillRect(QRectF(322, 222, 62, 8), QColor(60, 62, 72));
}

}  // namespace

CSplashWnd::CSplashWnd() : screen_(Picture(qApp->devicePixelRatio())) {
    screen_.setObjectName("Splash");
    timer_.setSingleShot(true);
    timer_.setInterval(kShowMs);
    connect(&timer_, &QTimer::timeout, this, &CSplashWnd::Hide);
}

CSplashWnd::~CSplashWnd() {
    qApp->removeEventFilter(this);
}

QPixmap CSplashWnd::Picture(qreal ratio) {
    QPixmap pixmap(QSize(kWidth, kHeight) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, QColor(22, 36, 71));
    sky.setColorAt(0.62, QColor(201, 110, 74));
    sky.setColorAt(0.75, QColor(236, 178, 104));
    p.fillRect(QRect(0, 0, kWidth, kHeight), sky);
    DrawLighthouse(p);
    // The sea, and the shore the lighthouse stands on.
    QLinearGradient sea(0, 224, 0, kHeight);
    sea.setColorAt(0, QColor(31, 64, 104));
    sea.setColorAt(1, QColor(12, 28, 52));
    p.fillRect(QRect(0, 226, kWidth, kHeight - 226), sea);
    QPainterPath shore;
    shore.moveTo(292, 232);
    shore.cubicTo(320, 218, 400, 216, kWidth, 228);
    shore.lineTo(kWidth, 246);
    shore.lineTo(292, 246);
    shore.closeSubpath();
    p.fillPath(shore, QColor(24, 30, 40));
    p.setPen(QPen(QColor(255, 255, 255, 60), 1.2));
    for (int i = 0; i < 7; ++i)
        p.drawLine(QLineF(20 + 37 * i, 252 + 6 * (i % 3), 48 + 37 * i, 252 + 6 * (i % 3)));

    p.setPen(QColor(255, 250, 240));
    QFont title("DejaVu Sans", 30, QFont::Bold);
    p.setFont(title);
    p.drawText(QRect(28, 150, 300, 44), Qt::AlignLeft | Qt::AlignVCenter, "Corvalin");
    QFont line("DejaVu Sans", 10);
    p.setFont(line);
    p.drawText(QRect(30, 194, 300, 20), Qt::AlignLeft | Qt::AlignVCenter,
               "Web sites, copied for reading offline");
    p.setPen(QColor(255, 250, 240, 170));
    p.drawText(QRect(30, 270, 200, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Version ") + FW_VERSION_STRING);
    return pixmap;
}

void CSplashWnd::Show() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        screen_.move(screen->availableGeometry().center() - screen_.rect().center());
    }
    screen_.show();
    qApp->installEventFilter(this);
    timer_.start();
}

void CSplashWnd::Hide() {
    if (!screen_.isVisible()) return;
    timer_.stop();
    qApp->removeEventFilter(this);
    screen_.hide();
    emit hidden();
}

bool CSplashWnd::visible() const {
    return screen_.isVisible();
}

bool CSplashWnd::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::NonClientAreaMouseButtonPress:
            Hide();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace corvalin
