// The tree scan into the search list: the start question, the progress panel pn_exitscan
// with its found counter, busy gauge and cancel button, the cancel question and the finish.
#pragma once

#include "app/app_context.h"
#include "files/file_list_model.h"
#include "files/tree_scanner.h"

#include <QFrame>

class QLabel;
class QProgressBar;
class QToolButton;

namespace vorn {

class ListAreaView;

class ScanPanelView : public QFrame {
    Q_OBJECT
public:
    ScanPanelView(AppContext &ctx, ListAreaView &lists, QWidget *parent = nullptr);

    bool isScanning() const { return scanning_; }
    // Stops a running scan without questions (the window is closing).
    void abortScan();
    // The pattern the next start question names: the filter, or the last pattern searched.
    QString fileMask() const { return scanner_.FileMask(); }

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
    void tsfilefound(TTreeScanner &ts);
    void flush();
    void centreInParent();

    AppContext &ctx_;
    ListAreaView &lists_;
    TTreeScanner scanner_;
    QList<FileEntry> pending_;
    int found_ = 0;
    bool cancelRequested_ = false;
    bool aborted_ = false;
    bool closing_ = false;
    bool scanning_ = false;
    QLabel *lb_scanfound_;
    QLabel *lb_scanoperation_;
    QProgressBar *gauge_;
    QToolButton *bt_exitscan_;
};

} // namespace vorn
