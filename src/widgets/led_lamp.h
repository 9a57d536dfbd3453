// An on/off indicator drawn as a round lamp: lit green, dark grey.
#pragma once

#include <QWidget>

namespace vorn
{

class LedLamp : public QWidget
{
    Q_OBJECT
  public:
    explicit LedLamp(const QString &name, QWidget *parent = nullptr);

    bool isOn() const { return on_; }
    void setOn(bool on);
    QSize sizeHint() const override { return {18, 18}; }

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    bool on_ = false;
};

} // namespace vorn
