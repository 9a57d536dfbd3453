// A screen magnifier: while active it takes, at every refresh, the screen area centred on the
// mouse pointer whose size is its own size divided by the zoom level, and draws it stretched.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace vorn
{

class MagnifierWidget : public QWidget
{
    Q_OBJECT
  public:
    // Takes the given area of the desktop (global coordinates).
    using Grabber = std::function<QPixmap(const QRect &area)>;

    explicit MagnifierWidget(const QString &name, QWidget *parent = nullptr);

    double zoom() const { return zoom_; }
    void setZoom(double level);
    bool isActive() const { return timer_.isActive(); }
    // Starts or stops the refreshing; nothing is grabbed while inactive.
    void setActive(bool on);
    int interval() const { return timer_.interval(); }

    // Replaces the screen grab (tests count grabs through it).
    void setGrabber(Grabber grabber) { grabber_ = std::move(grabber); }
    // The area the next refresh takes around a pointer position.
    QRect sourceArea(const QPoint &pointer) const;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    void refresh();
    static QPixmap grabScreen(const QRect &area);

    QTimer timer_;
    Grabber grabber_;
    QPixmap shot_;
    double zoom_ = 1.0;
};

} // namespace vorn
