// A message with a list under it (the files a run could not handle, with the reasons): the
// list scrolls, and the dialog never grows beyond the screen it opens on, so its button is
// always in reach however long the list is.
#pragma once

#include "base/prompter.h"

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;

namespace vorn
{

class ListMessageDialog : public QDialog
{
    Q_OBJECT
  public:
    ListMessageDialog(const QString &text, const QStringList &lines, PromptIcon icon, const QString &caption,
                      QWidget *parent = nullptr);

    QPlainTextEdit *list() const { return list_; }
    QPushButton *okButton() const { return ok_; }

  private:
    QPlainTextEdit *list_;
    QPushButton *ok_;
};

} // namespace vorn
