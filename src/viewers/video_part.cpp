#include "viewers/video_part.h"

#include "files/view_host.h"
#include "viewers/video_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/theme.h"

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
    // Stop brings everything back, the list side included.
    QObject::connect(view, &VideoView::lockRequested, &host, [&host](bool locked) {
        host.setLocked(locked);
        if (!locked)
            host.setSideAndBarsVisible(true);
    });
    return part;
}

} // namespace vorn
