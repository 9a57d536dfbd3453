// What a subsystem gets when it installs its views: the shared context, the panel of each
// of its views, the routing of files to its viewers, the lock-out around long operations,
// the active list, the frame's bars and status bar, and the signals that carry effects from
// one view to another. The window implements it; each subsystem has one install function
// (viewers/picture_part.cpp, sorting/sort_part.cpp, ...) that takes a ViewHost&.
#pragma once

#include "files/app_context.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <functional>
#include <utility>

class QFrame;
class QWidget;

namespace vorn
{

class ActiveList;
class CollapsibleToolBar;
class FileViewer;
class PanelStatusBar;

// The bars of the frame below the lists and views, in this order from the top.
enum class FrameBar { Mask, Sort };

class ViewHost : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    virtual AppContext &context() = 0;
    // The panel of view `v` in the view stack (pn_viewmain, pn_zipmain, ...), with an empty
    // vertical layout: the view puts its controls into it.
    virtual QFrame *panel(View v) = 0;
    // Makes a view a child of the panel of `v`: a view that is a widget goes into the
    // panel's layout, a view that fills the panel with controls of its own is owned by it.
    virtual void adopt(View v, QObject *view) = 0;
    // The files routed to `v` go to `viewer` (showFile), and it lets go of them on release.
    virtual void registerViewer(View v, FileViewer *viewer) = 0;
    // The widget is disabled while the lock-out is on (scans and other long operations).
    virtual void addLockout(QWidget *w) = 0;
    // The function is called with true when the lock-out goes on, false when it goes off.
    virtual void addLockout(std::function<void(bool locked)> fn) = 0;
    // The folder list or search list, whichever tab is in front.
    virtual ActiveList &activeList() = 0;
    // The folder selected in the main folder tree (with a trailing '/'); empty before any.
    virtual QString treeFolder() = 0;
    // The window's client area: the parent of floating panels.
    virtual QWidget *clientArea() = 0;
    // The collapsible bars of the frame (tbar_mask, tbar_sortmain) and the status bar
    // stat_sort below them.
    virtual CollapsibleToolBar &bar(FrameBar which) = 0;
    virtual PanelStatusBar &statusBar() = 0;

    // Before what is shown is left (another file, a folder, a mode, the window closing) the
    // checks run; one returning false (the user keeps unsaved edits) keeps everything as it is.
    virtual void addLeaveCheck(std::function<bool(bool closing)> fn) = 0;
    virtual bool mayLeave(bool closing = false) = 0;
    // Routes a file to the view of its kind (as a click on it in the active list does).
    virtual void showFile(const QString &path) = 0;
    // Every registered viewer lets go of what it shows.
    virtual void releaseViews() = 0;
    // Turns the lock-out on or off (nested calls count). An operation that may be started
    // more than once prefers a LockToken, which it holds and gives back exactly once.
    virtual void setLocked(bool locked) = 0;
    // Chooses a mode as its view button of the function bar does.
    virtual void enterMode(ViewMode mode) = 0;
    // Brings a view to the front without changing the mode.
    virtual void bringToFront(View v) = 0;
    // Shows or hides the list side, the function bar and the bars below (slideshow mode).
    virtual void setSideAndBarsVisible(bool visible) = 0;
    // The caption of the window (the title of an HTML page).
    virtual void setCaption(const QString &caption) = 0;

    // Cross-view requests; views connect to the signals in their install functions.
    void requestHelp(const QString &page) { emit helpRequested(page); }
    void announceViewingColor(const QColor &c) { emit viewingColorChanged(c); }
    void announceTheme(bool textured)
    {
        textured_ = textured;
        emit themeChanged(textured);
    }
    // True with the textured theme (the default), false with the plain one (bt_256cols down).
    bool textured() const { return textured_; }

  signals:
    // A file was not routed because the user stayed with unsaved edits.
    void routeRefused();
    // Asks the help view for a page of help_dir (F1 and the help buttons).
    void helpRequested(const QString &page);
    // A swatch was picked: views with their own backgrounds (HTML, ZIP preview) follow it.
    void viewingColorChanged(const QColor &color);
    // The textures were switched on (true) or off with the colour switch of the function bar:
    // views with colours of their own follow it.
    void themeChanged(bool textured);

  private:
    bool textured_ = true;
};

// The lock-out held by one operation: taking it turns the lock-out on (counted with every
// other holder), release() gives it back once however often it is called, and so does the
// destructor. Moving hands it on; an empty token holds nothing.
class LockToken
{
  public:
    LockToken() = default;
    explicit LockToken(ViewHost &host) : host_(&host) { host.setLocked(true); }
    ~LockToken() { release(); }
    LockToken(LockToken &&other) noexcept : host_(std::exchange(other.host_, nullptr)) {}
    LockToken &operator=(LockToken &&other) noexcept
    {
        if (this != &other) {
            release();
            host_ = std::exchange(other.host_, nullptr);
        }
        return *this;
    }
    LockToken(const LockToken &) = delete;
    LockToken &operator=(const LockToken &) = delete;

    bool held() const { return !host_.isNull(); }
    void release()
    {
        if (QPointer<ViewHost> host = std::exchange(host_, nullptr))
            host->setLocked(false);
    }
    // Lets go without turning the lock-out off: for a window that is being taken down.
    void forget() { host_ = nullptr; }

  private:
    QPointer<ViewHost> host_;
};

} // namespace vorn
