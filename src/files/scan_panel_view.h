// The tree scan into the search list: the start question, the progress panel pn_exitscan
// with its found counter, busy gauge and cancel button, the cancel question and the finish.
#pragma once

#include "files/app_context.h"
#include "files/file_list_model.h"
#include "files/tree_scan_job.h"

#include <QFrame>

class QLabel;
class QProgressBar;
class QToolButton;

namespace vorn
{

class ListAreaView;

class ScanPanelView : public QFrame
{
    Q_OBJECT
  public:
    ScanPanelView(AppContext &ctx, ListAreaView &lists, QWidget *parent = nullptr);

    bool isScanning() const { return job_.isRunning(); }
    // Stops a running scan without questions (the window is closing).
    void abortScan();
    // The pattern the next start question names: the filter, or the last pattern searched.
    QString fileMask() const { return fileMask_; }

  public slots:
    void bt_startscanclick();
    void bt_exitscanclick();
    void bt_clearscanclick();

  signals:
    // Around the scan the controls that could start another operation are locked.
    void lockRequested(bool locked);
    void pictureViewRequested();
    void releaseViews();
    void scanFinished();

  private:
    void tsfilefound(const QStringList &paths);
    bool askCancel();
    void finish();
    void centreInParent();

    AppContext &ctx_;
    ListAreaView &lists_;
    TreeScanJob job_;
    QString fileMask_;
    QString lastPattern_;
    bool closing_ = false;
    QLabel *lb_scanfound_;
    QLabel *lb_scanoperation_;
    QProgressBar *gauge_;
    QToolButton *bt_exitscan_;
};

} // namespace vorn
