#include "app/view_router.h"

#include "files/file_viewer.h"

namespace vorn
{

View view_for_kind(FileKind kind, ViewMode mode)
{
    switch (kind) {
    case FileKind::Picture:
        return View::Pictures;
    case FileKind::Video:
        return View::Video;
    case FileKind::Html:
        return View::Html;
    case FileKind::Zip:
        return mode == ViewMode::Pictures ? View::Zip : View::Text;
    case FileKind::Other:
        return View::Text;
    }
    return View::Text;
}

View view_for_mode(ViewMode mode)
{
    switch (mode) {
    case ViewMode::Pictures:
        return View::Pictures;
    case ViewMode::Zip:
        return View::Zip;
    case ViewMode::Rename:
        return View::Rename;
    case ViewMode::None:
        break;
    }
    return View::Empty;
}

ViewRouter::ViewRouter(AppContext &ctx, QObject *parent) : QObject(parent), ctx_(ctx) {}

void ViewRouter::registerViewer(View v, FileViewer *viewer)
{
    viewers_.insert(int(v), viewer);
}

void ViewRouter::releaseViews()
{
    for (FileViewer *v : std::as_const(viewers_))
        v->releaseFile();
}

void ViewRouter::bringToFront(View v)
{
    emit frontRequested(v);
    ctx_.setView(v);
}

void ViewRouter::enterMode(ViewMode mode)
{
    ctx_.setMode(mode);
    if (mode != ViewMode::None)
        bringToFront(view_for_mode(mode));
    emit modeEntered(mode);
}

void ViewRouter::route(const QString &path)
{
    if (ctx_.mode() == ViewMode::Zip || path.isEmpty())
        return;
    if (!mayLeave()) {
        emit routeRefused();
        return;
    }
    const bool slideshow = ctx_.slideshowRunning();
    const QString ext = file_extension(path);
    if (!slideshow && ext != lastExtension_) {
        releaseViews();
        emit viewsReset();
        lastExtension_ = ext;
    }
    const View target = view_for_kind(file_kind(path), ctx_.mode());
    bringToFront(target);
    // A picture is shown only while the picture view button is down (it is, before the first
    // mode is chosen), or by the slideshow.
    const bool pictureButtonDown = ctx_.mode() == ViewMode::Pictures || ctx_.mode() == ViewMode::None;
    if (target == View::Pictures && !slideshow && !pictureButtonDown)
        return;
    if (FileViewer *v = viewer(target))
        v->showFile(path);
}

void ViewRouter::addLeaveCheck(std::function<bool(bool)> fn)
{
    leaveChecks_.push_back(std::move(fn));
}

bool ViewRouter::mayLeave(bool closing)
{
    for (const auto &fn : leaveChecks_)
        if (!fn(closing))
            return false;
    return true;
}

void ViewRouter::addLockout(std::function<void(bool)> fn)
{
    lockouts_.push_back(std::move(fn));
}

void ViewRouter::setLocked(bool locked)
{
    if (locked) {
        if (++locks_ != 1)
            return;
    } else {
        if (locks_ == 0 || --locks_ != 0)
            return;
    }
    for (const auto &fn : lockouts_)
        fn(locked);
}

} // namespace vorn
