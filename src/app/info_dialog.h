// The about box form_info with its scrolling credits.
#pragma once

#include <QDialog>
#include <QStringList>

class QTimer;

namespace vorn
{
class Texts;

// The credits panel: draws its lines and moves them up one pixel every 100 ms.
class CreditsBanner : public QWidget
{
    Q_OBJECT
  public:
    explicit CreditsBanner(const QStringList &lines, QWidget *parent = nullptr);
    int offset() const { return offset_; }
    void stop();
    QTimer *timer() const { return timer_; }

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    void step();

    QStringList lines_;
    int offset_ = 0;
    QTimer *timer_;
};

class InfoDialog : public QDialog
{
    Q_OBJECT
  public:
    explicit InfoDialog(const Texts &texts, QWidget *parent = nullptr);
    static QStringList creditLines();
    CreditsBanner *banner() const { return banner_; }

  public slots:
    void bt_backClick();

  private:
    CreditsBanner *banner_;
};

} // namespace vorn
