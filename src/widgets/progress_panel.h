// A small panel that floats over its parent while a long operation runs: a title, the name of
// the item in work, a progress bar and a cancel button. It appears only when a run lasts longer
// than a moment, so that quick runs do not flicker; it stays centred when the parent resizes.
// Around the run it shows the busy pointer and keeps the window from starting anything else:
// until the panel shows, the window's mouse and key input is set aside (a quick run then costs
// no repaint of disabled controls); from then on the window's lock-out is on. The panel lies
// outside the locked controls, so the cancel stays clickable. The keyboard focus, which the
// lock-out moves away from a disabled control, goes back where it was.
#pragma once

#include <QFrame>
#include <QPointer>
#include <functional>

class QLabel;
class QProgressBar;
class QTimer;
class QToolButton;

namespace vorn
{

class ProgressPanel : public QFrame
{
    Q_OBJECT
  public:
    explicit ProgressPanel(const QString &name, QWidget *parent);

    // How long a run goes before the panel shows (milliseconds).
    void setShowDelay(int ms);
    // Turns the lock-out on (true) and off (false) around a run.
    void setLockOut(std::function<void(bool locked)> lock) { lock_ = std::move(lock); }
    // A run starts: the window takes no input; after the delay (unless end() comes first)
    // the panel shows and the lock-out goes on.
    void begin(const QString &title, const QString &cancelText);
    // `done` of `total` (total < 0: unknown), with the name of the item in work.
    void setProgress(qint64 done, qint64 total, const QString &item);
    // The run is over: the panel goes, the lock-out ends, the focus comes back.
    void end();
    bool isRunning() const { return running_; }
    QToolButton *cancelButton() const { return cancel_; }

  signals:
    // The cancel was clicked (once per run: the button is then disabled).
    void cancelClicked();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void appear();
    void centre();

    QLabel *title_;
    QLabel *item_;
    QProgressBar *bar_;
    QToolButton *cancel_;
    QTimer *showTimer_;
    std::function<void(bool)> lock_;
    QPointer<QWidget> focusBefore_;
    bool running_ = false;
    bool locked_ = false;
};

} // namespace vorn
