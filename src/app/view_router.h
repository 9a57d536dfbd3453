// The routing of files to views and the state around it, without widgets: which view a file
// goes to (by the kind table of files/), the mode chosen with the view buttons, the viewers
// registered per view, releasing what they show, and the lock-out around long operations.
// The window follows its signals (bringing panels to the front, showing the frame's parts).
#pragma once

#include "files/app_context.h"
#include "files/file_kind.h"

#include <QHash>
#include <QObject>
#include <functional>
#include <vector>

namespace vorn
{

class FileViewer;

// The view a file of this kind is shown in: a ZIP file opens in the ZIP view only in
// picture mode, and counts as any other file (text view) otherwise.
View view_for_kind(FileKind kind, ViewMode mode);
// The view of a mode's panel.
View view_for_mode(ViewMode mode);

class ViewRouter : public QObject
{
    Q_OBJECT
  public:
    explicit ViewRouter(AppContext &ctx, QObject *parent = nullptr);

    void registerViewer(View v, FileViewer *viewer);
    FileViewer *viewer(View v) const { return viewers_.value(int(v)); }

    // Routes one file to the view of its kind. Nothing is routed in ZIP mode. A change of
    // extension first releases every view (not while the slideshow runs); a picture is
    // shown only in picture mode (or by the slideshow), other kinds always.
    void route(const QString &path);
    // Chooses a mode as its view button does; its panel comes to the front.
    void enterMode(ViewMode mode);
    // Brings a view to the front without changing the mode.
    void bringToFront(View v);
    void releaseViews();

    // Checks run before what is shown would be left (another file, a folder, a mode, the
    // window closing): a view with unsaved edits asks the user. False: stay where it is.
    void addLeaveCheck(std::function<bool(bool closing)> fn);
    bool mayLeave(bool closing = false);

    // Lock-out: participants are told when it goes on and off; nested calls count.
    void addLockout(std::function<void(bool locked)> fn);
    void setLocked(bool locked);
    bool isLocked() const { return locks_ > 0; }

  signals:
    // The window brings the panel of `v` to the front.
    void frontRequested(vorn::View v);
    // A mode was entered: the window shows or hides the parts of its frame for it.
    void modeEntered(vorn::ViewMode mode);
    // The extension of the routed files changed: the views were released and the list side
    // and bars come back.
    void viewsReset();
    // A file was not routed: the user chose to stay with unsaved edits.
    void routeRefused();

  private:
    AppContext &ctx_;
    QHash<int, FileViewer *> viewers_;
    std::vector<std::function<void(bool)>> lockouts_;
    std::vector<std::function<bool(bool)>> leaveChecks_;
    int locks_ = 0;
    QString lastExtension_ = QStringLiteral(".jpg");
};

} // namespace vorn
