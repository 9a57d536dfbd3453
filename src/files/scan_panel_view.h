// The tree scan into the search list: the start question, the progress panel pn_exitscan
// with its found counter, busy gauge and cancel button, the cancel question and the finish.
#pragma once

#include "files/app_context.h"
#include "files/tree_scan_job.h"

#include <QFrame>
#include <functional>

class QLabel;
class QProgressBar;
class QToolButton;

namespace vorn
{

class ActiveList;

class ScanPanelView : public QFrame
{
    Q_OBJECT
  public:
    // searchList: the list the found files go to; treeFolder: the folder chosen in the folder
    // tree (empty before any); over: the panel the progress panel floats over.
    ScanPanelView(AppContext &ctx, ActiveList &searchList, std::function<QString()> treeFolder, QFrame *over);

    bool isScanning() const { return job_.isRunning(); }
    // Stops a running scan without questions (the window is closing).
    void abortScan();
    // The pattern the next start question names: the filter, or the last pattern searched.
    QString fileMask() const { return lastPattern_.isEmpty() ? ctx_.filter().text : lastPattern_; }

  public slots:
    void bt_startscanclick();
    void bt_exitscanclick();

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
    ActiveList &searchList_;
    std::function<QString()> treeFolder_;
    TreeScanJob job_;
    // The last pattern searched, until the filter changes; empty before.
    QString lastPattern_;
    QString searchingPattern_;
    bool closing_ = false;
    QLabel *lb_scanfound_;
    QLabel *lb_scanoperation_;
    QProgressBar *gauge_;
    QToolButton *bt_exitscan_;
};

} // namespace vorn
