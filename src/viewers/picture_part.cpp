#include "viewers/picture_part.h"

#include "files/active_list.h"
#include "files/view_host.h"
#include "viewers/picture_view.h"
#include "viewers/slide_host_view.h"
#include "viewers/slideshow_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/theme.h"

#include <QFrame>
#include <QPointer>
#include <QToolButton>
#include <memory>

namespace vorn
{

namespace
{

// Owns the slide host; unhooks it from the slideshow before it goes.
class SlideHostHolder : public QObject
{
  public:
    SlideHostHolder(SlideshowView *show, std::unique_ptr<SlideHost> host, QObject *parent)
        : QObject(parent), show_(show), host_(std::move(host))
    {
        show_->setHost(host_.get());
    }
    ~SlideHostHolder() override
    {
        if (show_)
            show_->setHost(nullptr);
    }

  private:
    QPointer<SlideshowView> show_;
    std::unique_ptr<SlideHost> host_;
};

} // namespace

PicturePart install_picture_part(ViewHost &host)
{
    AppContext &ctx = host.context();
    QFrame *panel = host.panel(View::Pictures);
    PicturePart part;
    part.view = new PictureView(ctx, host.activeList(), panel, kButtonRowHeight, panel);
    host.registerViewer(View::Pictures, part.view);
    host.addLockout(part.view->toolBar());

    // The slideshow floats over the client area and shows its slides in the picture view.
    part.slideshow = new SlideshowView(ctx, host.activeList(), panel, host.clientArea());
    new SlideHostHolder(part.slideshow, std::make_unique<PictureSlideHost>(*part.view), part.view);
    part.slideshow->setShowButton(part.view->diashowButton());
    QObject::connect(part.slideshow, &SlideshowView::barsVisibilityRequested, &host,
                     [&host](bool visible) { host.setSideAndBarsVisible(visible); });

    PictureView *view = part.view;
    QObject::connect(&ctx, &AppContext::listTabChanged, view, [view] { view->resetTrackBar(); });
    return part;
}

} // namespace vorn
