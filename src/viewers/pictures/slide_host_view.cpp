#include "viewers/pictures/slide_host_view.h"

#include "viewers/pictures/magnifier_view.h"
#include "viewers/pictures/picture_view.h"
#include "viewers/pictures/slideshow_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/panel_status_bar.h"

#include <QFrame>
#include <QPointer>
#include <QScrollArea>
#include <QToolButton>
#include <memory>

namespace vorn
{

QWidget *PictureSlideHost::slideArea()
{
    return view_.scrollArea();
}

ViewStyle PictureSlideHost::slideStyle() const
{
    return view_.viewStyle();
}

void PictureSlideHost::enterSlideMode()
{
    view_.setLayoutSuppressed(true);
    view_.removeBackground();
    view_.clearView();
    view_.magnifier()->switchOff();
    view_.zoomPanel()->hide();
    view_.statusBar()->hide();
    view_.toolBar()->hide();
    view_.setLayoutSuppressed(false);
}

void PictureSlideHost::showSlide(const QString &path, ViewStyle style)
{
    // The style sticks for the pictures shown after the show.
    view_.setViewStyle(style);
    view_.showPicture(path, style);
    view_.zoomPanel()->hide();
}

void PictureSlideHost::leaveSlideMode()
{
    view_.toolBar()->show();
    view_.statusBar()->show();
    view_.zoomPanel()->show();
    view_.statusBar()->setPanelText(0, QString());
    view_.statusBar()->setPanelText(4, QString());
    view_.clearView();
    view_.layoutPass();
}

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

SlideshowView *make_picture_slideshow(AppContext &ctx, ActiveList &list, PictureView &view, QFrame *panel,
                                      QWidget *clientArea)
{
    auto *show = new SlideshowView(ctx, list, panel, clientArea);
    new SlideHostHolder(show, std::make_unique<PictureSlideHost>(view), &view);
    show->setShowButton(view.diashowButton());
    return show;
}

} // namespace vorn
