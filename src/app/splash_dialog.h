// The splash form_splash: borderless, on top, centred; a click or a key closes it.
#pragma once

#include <QDialog>

namespace vorn
{
class Texts;

class SplashDialog : public QDialog
{
    Q_OBJECT
  public:
    explicit SplashDialog(const Texts &texts, QWidget *parent = nullptr);

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace vorn
