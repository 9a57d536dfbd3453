// A push button painted with a vertical gradient between two colours (light at the top),
// used for the sort buttons and the quick-select buttons. It takes no keyboard focus, so the
// focus stays on the control the user last worked in.
#pragma once

#include <QColor>
#include <QPushButton>

namespace vorn
{

class GradientButton : public QPushButton
{
    Q_OBJECT
  public:
    explicit GradientButton(QWidget *parent = nullptr);

    void setColors(const QColor &light, const QColor &shadow);
    QColor lightColor() const { return light_; }
    QColor shadowColor() const { return shadow_; }

  signals:
    // The pointer entered (true) or left (false) the button.
    void hovered(bool inside);

  protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

  private:
    QColor light_;
    QColor shadow_;
};

} // namespace vorn
