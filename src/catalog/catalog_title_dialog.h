// The description form form_cattitle shown when a catalog is saved: a short description
// (cut to 25 characters) typed into ed_catedit, confirmed with bt_titlesave or Enter,
// dropped with bt_titleabort or Escape. Fixed size, centred on the screen, always on top and
// without title-bar buttons; textured like the window unless the plain theme is on.
#pragma once

#include <QDialog>
#include <optional>

class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vorn
{

class Prompter;
class Texts;

class CatalogTitleDialog : public QDialog
{
    Q_OBJECT
  public:
    // textured: the textured theme is on (bt_256cols up).
    CatalogTitleDialog(const Texts &texts, Prompter &prompter, bool textured, QWidget *parent = nullptr);

    // Shows the form modally: the description (empty after an empty input, whose message the
    // form has shown), or nullopt when aborted.
    std::optional<QString> ask();
    QString description() const { return description_; }

  public slots:
    void bt_titlesaveClick();
    void bt_titleabortClick();
    void FormShow();
    void reject() override;

  protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    bool ed_cateditKeyDown(QKeyEvent *event);

    const Texts &texts_;
    Prompter &prompter_;
    bool textured_;
    QFrame *pn_background_;
    QFrame *fup_titlebreak_;
    QLabel *lb_cattitle_;
    QLineEdit *ed_catedit_;
    QPushButton *bt_titlesave_;
    QPushButton *bt_titleabort_;
    QString description_;
};

} // namespace vorn
