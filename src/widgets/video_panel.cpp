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

void VideoPanel::setFrame(const QImage &frame, const QRect &part)
{
    frame_ = frame;
    part_ = part;
    update(display_);
}

void VideoPanel::clearFrame()
{
    frame_ = QImage();
    part_ = QRect();
    update();
}

void VideoPanel::paintEvent(QPaintEvent *event)
{
    {
        QPainter p(this);
        if (!frame_.isNull() && display_.isValid()) {
            // Black only around the frame: it covers its rectangle.
            const QRect target = part_.isNull() ? display_ : part_.translated(display_.topLeft());
            p.setClipRegion(event->region() - target);
            p.fillRect(rect(), Qt::black);
            p.setClipRegion(event->region());
            if (frame_.size() == target.size())
                p.drawImage(target.topLeft(), frame_);
            else
                p.drawImage(target, frame_);
            ++painted_;
        } else {
            p.fillRect(rect(), Qt::black);
        }
    }
    QFrame::paintEvent(event); // the bevel over the black
}

} // namespace vorn
