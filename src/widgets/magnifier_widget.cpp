#include "widgets/magnifier_widget.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace vorn
{

MagnifierWidget::MagnifierWidget(const QString &name, QWidget *parent) : QWidget(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &MagnifierWidget::refresh);
    grabber_ = &MagnifierWidget::grabScreen;
}

void MagnifierWidget::setZoom(double level)
{
    zoom_ = std::max(1.0, level);
}

void MagnifierWidget::setActive(bool on)
{
    if (on) {
        timer_.start();
    } else {
        timer_.stop();
        shot_ = QPixmap();
        update();
    }
}

QRect MagnifierWidget::sourceArea(const QPoint &pointer) const
{
    const int w = std::max(1, int(width() / zoom_));
    const int h = std::max(1, int(height() / zoom_));
    return QRect(pointer.x() - w / 2, pointer.y() - h / 2, w, h);
}

QPixmap MagnifierWidget::grabScreen(const QRect &area)
{
    QScreen *screen = QGuiApplication::screenAt(area.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QPixmap();
    const QPoint origin = screen->geometry().topLeft();
    return screen->grabWindow(0, area.x() - origin.x(), area.y() - origin.y(), area.width(), area.height());
}

void MagnifierWidget::refresh()
{
    if (!isVisible())
        return;
    shot_ = grabber_ ? grabber_(sourceArea(QCursor::pos())) : QPixmap();
    update();
}

void MagnifierWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (shot_.isNull()) {
        p.fillRect(rect(), palette().color(QPalette::Dark));
        return;
    }
    // Enlarged pixels stay sharp: that is what a magnifier is for.
    p.drawPixmap(rect(), shot_);
}

} // namespace vorn
