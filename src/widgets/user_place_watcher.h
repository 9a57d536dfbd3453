// Watches where the user works in one window: the widget that takes the keyboard focus from his
// mouse press (reported even when it has the focus already, where no focus change happens) and
// the widget he moves the focus into with the keyboard. A focus the program moves itself (a
// setFocus call, a control that loses it while disabled, the window coming to the front) is not
// his and is not reported.
#pragma once

#include <QObject>

class QWidget;

namespace vorn
{

class UserPlaceWatcher : public QObject
{
    Q_OBJECT
  public:
    // Watches the window of `anchor` (looked up at each event: the anchor may be re-parented).
    explicit UserPlaceWatcher(QWidget *anchor);

  signals:
    void entered(QWidget *place);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QWidget *anchor_;
};

} // namespace vorn
