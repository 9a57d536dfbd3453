#include "widgets/video_panel.h"

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
        p.fillRect(rect(), Qt::black);
        if (!frame_.isNull() && display_.isValid()) {
            if (frame_.size() == display_.size())
                p.drawImage(display_.topLeft(), frame_);
            else
                p.drawImage(display_, frame_);
            ++painted_;
        }
    }
    QFrame::paintEvent(event); // the bevel over the black
}

} // namespace vorn
