#include "widgets/video_panel.h"

#include <QPaintEvent>
#include <QPainter>

namespace vorn
{

VideoPanel::VideoPanel(const QString &name, QWidget *parent) : QFrame(parent)
{
    setObjectName(name);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void VideoPanel::setDisplayRect(const QRect &rect)
{
    if (rect == display_)
        return;
    display_ = rect;
    if (surface_)
        surface_->setGeometry(display_);
    update();
}

void VideoPanel::setSurface(QWidget *surface)
{
    surface_ = surface;
    frame_ = QImage();
    if (surface_) {
        surface_->setParent(this);
        surface_->setGeometry(display_);
        surface_->show();
    }
    update();
}

void VideoPanel::setFrame(const QImage &frame)
{
    frame_ = frame;
    update(display_);
}

void VideoPanel::clearFrame()
{
    frame_ = QImage();
    update();
}

void VideoPanel::paintEvent(QPaintEvent *event)
{
    {
        QPainter p(this);
        if (!frame_.isNull() && display_.isValid()) {
            // Black only around the picture: the frame covers its rectangle.
            p.setClipRegion(event->region() - display_);
            p.fillRect(rect(), Qt::black);
            p.setClipRegion(event->region());
            if (frame_.size() == display_.size())
                p.drawImage(display_.topLeft(), frame_);
            else
                p.drawImage(display_, frame_);
            ++painted_;
        } else {
            p.fillRect(rect(), Qt::black);
        }
    }
    QFrame::paintEvent(event); // the bevel over the black
}

} // namespace vorn
