// The tab tab_datetime of the rename view: stamping the modification time of the selected
// files and setting their attributes by four lamps. The files are those selected in the rename
// view's list, in its folder; the runs are jobs, the window stays live meanwhile.
#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>

class QDateEdit;
class QLabel;
class QPushButton;
class QTimeEdit;
class QTimer;

namespace vorn
{

class AppContext;
class Job;
class LedLamp;
class PanelStatusBar;
class ProgressPanel;

class StampView : public QWidget
{
    Q_OBJECT
  public:
    // folder: the rename view's folder; selection: the names selected there, in list order.
    StampView(AppContext &ctx, std::function<QString()> folder, std::function<QStringList()> selection,
              QWidget *parent = nullptr);

    // The lamps show the attributes of the one selected file; dark for none or several.
    void showAttributesOf(const QStringList &names);
    void darkenLamps();
    bool isBusy() const;
    void applyTexts();
    // The picked moment as the pickers hold it.
    QDateTime pickedDateTime() const;
    // The panel that shows a run's progress with its cancel; a cancelled run stops before the
    // next file, and the files done so far keep their change.
    void setProgressPanel(ProgressPanel *panel);

  signals:
    // Files were changed: the lists show what is on disk again.
    void filesChanged();
    void busyChanged(bool busy);

  public slots:
    void bt_attribut0Click();
    void bt_changeattrClick();
    void bt_datetimenowClick();
    void bt_datetimesetClick();

  protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

  private:
    void updateClock();
    void setBusy(bool busy, const QString &title = {});
    void finishRun();

    AppContext &ctx_;
    std::function<QString()> folder_;
    std::function<QStringList()> selection_;
    QDateEdit *date_;
    QTimeEdit *time_;
    PanelStatusBar *clock_;
    QTimer *clockTimer_;
    QList<LedLamp *> lamps_;
    QList<QPushButton *> lampButtons_;
    QList<QWidget *> controls_;
    Job *job_;
    ProgressPanel *panel_ = nullptr;
    QString failureTitle_;
};

} // namespace vorn
