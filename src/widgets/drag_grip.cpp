#include "widgets/drag_grip.h"

#include <QMouseEvent>
#include <QPainter>

namespace vorn
{

DragGrip::DragGrip(const QString &name, QWidget *panel, QWidget *parent) : QWidget(parent), panel_(panel)
{
    setObjectName(name);
    setCursor(Qt::SizeAllCursor);
}

void DragGrip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor light = palette().color(QPalette::Light);
    const QColor dark = palette().color(QPalette::Dark);
    // Two raised ridges along the grip, like a caption to take hold of.
    for (int y : {height() / 2 - 3, height() / 2 + 1}) {
        p.setPen(light);
        p.drawLine(3, y, width() - 4, y);
        p.setPen(dark);
        p.drawLine(3, y + 1, width() - 4, y + 1);
    }
}

void DragGrip::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    pressGlobal_ = event->globalPosition().toPoint();
    pressPanelPos_ = panel_->pos();
    panel_->raise();
}

void DragGrip::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging_)
        return;
    QPoint to = pressPanelPos_ + (event->globalPosition().toPoint() - pressGlobal_);
    if (QWidget *area = panel_->parentWidget()) {
        to.setX(qBound(0, to.x(), std::max(0, area->width() - panel_->width())));
        to.setY(qBound(0, to.y(), std::max(0, area->height() - panel_->height())));
    }
    panel_->move(to);
}

void DragGrip::mouseReleaseEvent(QMouseEvent *)
{
    dragging_ = false;
}

} // namespace vorn
