// A black panel with a raised bevel that shows video frames at a display rectangle inside it.
// It only paints the frames it is given; where they come from is its owner's business.
#pragma once

#include <QFrame>
#include <QImage>

namespace vorn
{

class VideoPanel : public QFrame
{
    Q_OBJECT
  public:
    VideoPanel(const QString &name, QWidget *parent = nullptr);

    // Where frames are drawn, in the panel's coordinates; a frame of another size is scaled.
    void setDisplayRect(const QRect &rect);
    QRect displayRect() const { return display_; }
    // A child that draws the frames itself (an OpenGL surface): it is kept at the display
    // rectangle, and frames given by setFrame() are not used then. Null returns to painting.
    void setSurface(QWidget *surface);
    QWidget *surface() const { return surface_; }
    // A frame of the picture's `part` (in the display rectangle's coordinates; null: all of it).
    void setFrame(const QImage &frame, const QRect &part = QRect());
    void clearFrame();
    const QImage &frame() const { return frame_; }
    // Frames painted since the start (tests and benchmarks read it).
    quint64 framesPainted() const { return painted_; }

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QRect display_;
    QWidget *surface_ = nullptr;
    QImage frame_;
    QRect part_;
    quint64 painted_ = 0;
};

} // namespace vorn
