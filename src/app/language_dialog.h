// The language dialog form_lang: German or English, stored in vorn.cfg at once.
#pragma once

#include <QDialog>

class QPushButton;

namespace vorn
{
class AppContext;

class LanguageDialog : public QDialog
{
    Q_OBJECT
  public:
    explicit LanguageDialog(AppContext &ctx, QWidget *parent = nullptr);

  public slots:
    void bt_germanClick();
    void bt_exitClick();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

  private:
    void choose(int index);
    void set_dlglanguage();

    AppContext &ctx_;
    QPushButton *bt_german_;
    QPushButton *bt_english_;
    QPushButton *bt_exit_;
};

} // namespace vorn
