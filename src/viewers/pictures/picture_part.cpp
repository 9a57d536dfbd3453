#include "viewers/pictures/picture_part.h"

#include "files/view_host.h"
#include "viewers/pictures/picture_view.h"
#include "viewers/pictures/slide_host_view.h"
#include "viewers/pictures/slideshow_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/theme.h"

namespace vorn
{

PicturePart install_picture_part(ViewHost &host)
{
    AppContext &ctx = host.context();
    PicturePart part;
    part.view = new PictureView(ctx, host.activeList(), host.panel(View::Pictures), kButtonRowHeight);
    host.adopt(View::Pictures, part.view);
    host.registerViewer(View::Pictures, part.view);
    host.addLockout(part.view->toolBar());

    part.slideshow = make_picture_slideshow(ctx, host.activeList(), *part.view, host.panel(View::Pictures),
                                            host.clientArea());
    QObject::connect(part.slideshow, &SlideshowView::barsVisibilityRequested, &host,
                     [&host](bool visible) { host.setSideAndBarsVisible(visible); });

    PictureView *view = part.view;
    QObject::connect(&ctx, &AppContext::listTabChanged, view, [view] { view->resetTrackBar(); });
    return part;
}

} // namespace vorn
