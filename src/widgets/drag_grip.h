// A grip that moves its floating panel with the mouse, kept inside the panel's parent.
#pragma once

#include <QPoint>
#include <QWidget>

namespace vorn
{

class DragGrip : public QWidget
{
    Q_OBJECT
  public:
    DragGrip(const QString &name, QWidget *panel, QWidget *parent);

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    QWidget *panel_;
    QPoint pressGlobal_;
    QPoint pressPanelPos_;
    bool dragging_ = false;
};

} // namespace vorn
