#include "widgets/drag_grip.h"

#include <QMouseEvent>
#include <QPainter>

#include <utility>

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
    // Two raised ridges along the grip's long side, like a caption to take hold of.
    const bool upright = height() > width();
    const int across = (upright ? width() : height()) / 2;
    const int length = upright ? height() : width();
    for (int at : {across - 3, across + 1}) {
        for (const auto &[pen, shift] : {std::pair{light, 0}, std::pair{dark, 1}}) {
            p.setPen(pen);
            if (upright)
                p.drawLine(at + shift, 3, at + shift, length - 4);
            else
                p.drawLine(3, at + shift, length - 4, at + shift);
        }
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
    if (mover_) {
        mover_(to);
        return;
    }
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
