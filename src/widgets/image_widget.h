// A picture control: shows a still image or an animation stretched to its own size, drawn
// transparently (alpha over the parent) or on an opaque white ground, or tiled like a
// desktop background.
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

class QMovie;

namespace vorn
{

class ImageWidget : public QWidget
{
    Q_OBJECT
  public:
    explicit ImageWidget(const QString &name, QWidget *parent = nullptr);
    ~ImageWidget() override;

    // A still picture (drops any animation).
    void setImage(const QImage &image);
    // An animation, started at the current speed (drops any still picture).
    void setMovie(std::unique_ptr<QMovie> movie);
    QMovie *movie() const { return movie_.get(); }
    // The still picture, or the animation's current frame.
    QImage currentImage() const;
    bool hasPicture() const;
    // Drops the picture and the animation.
    void clear();

    bool isTransparent() const { return transparent_; }
    void setTransparent(bool on);
    // Repeats the picture at its own size over the whole control instead of stretching it.
    void setTiled(bool on);

    // Animation speed in per cent, kept at 1 or more; applies to later animations too.
    int speed() const { return speed_; }
    void setSpeed(int percent);

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QImage image_;
    std::unique_ptr<QMovie> movie_;
    bool transparent_ = false;
    bool tiled_ = false;
    int speed_ = 100;
};

} // namespace vorn
