// A grip that moves its floating panel with the mouse, kept inside the panel's parent (or
// placed by the panel itself, which may keep it inside a smaller area).
#pragma once

#include <QPoint>
#include <QWidget>
#include <functional>

namespace vorn
{

class DragGrip : public QWidget
{
    Q_OBJECT
  public:
    DragGrip(const QString &name, QWidget *panel, QWidget *parent);
    // While dragging, hands the panel's wanted top left (in its parent) to `mover` instead of
    // moving the panel inside its parent.
    void setMover(std::function<void(QPoint topLeft)> mover) { mover_ = std::move(mover); }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    QWidget *panel_;
    std::function<void(QPoint)> mover_;
    QPoint pressGlobal_;
    QPoint pressPanelPos_;
    bool dragging_ = false;
};

} // namespace vorn
