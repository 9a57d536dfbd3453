#include "viewers/video/video_part.h"

#include "files/view_host.h"
#include "viewers/video/video_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/theme.h"

#include <memory>

namespace vorn
{

VideoPart install_video_part(ViewHost &host)
{
    VideoPart part;
    part.view = new VideoView(host.context(), host.activeList(), host.panel(View::Video), kButtonRowHeight);
    VideoView *view = part.view;
    host.adopt(View::Video, view);
    host.registerViewer(View::Video, view);
    // Other long operations lock the video tool bar too; while a video plays the lock-out is
    // the video's own and its tool bar (with Stop) stays usable.
    host.addLockout([view](bool locked) {
        if (!view->isPlaying())
            view->toolBar()->setEnabled(!locked);
    });
    // While a video plays nothing outside its view may change the selection or the view;
    // Stop (or the end of the video) brings everything back, the list side included, and
    // all twenty-eight mask buttons alike (wired by the window, which owns the mask bar). The
    // video holds one token however often Play is pressed, and gives it back once.
    auto token = std::make_shared<LockToken>();
    QObject::connect(view, &VideoView::lockRequested, &host, [&host, token](bool locked) {
        if (locked) {
            if (!token->held())
                *token = LockToken(host);
            return;
        }
        token->release();
        host.setSideAndBarsVisible(true);
    });
    // Another view in front (a mode, the ZIP browser) lets go of the video.
    QObject::connect(&host.context(), &AppContext::viewChanged, view, [view](View v) {
        if (v != View::Video)
            view->releaseFile();
    });
    // Taken down with the window: nothing is left to unlock.
    QObject::connect(view, &QObject::destroyed, [token] { token->forget(); });
    return part;
}

} // namespace vorn
