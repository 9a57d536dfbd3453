#include "viewers/slide_host_view.h"

#include "viewers/magnifier_view.h"
#include "viewers/picture_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/panel_status_bar.h"

#include <QFrame>
#include <QScrollArea>

namespace vorn {

namespace {

PictureView::ViewStyle toViewStyle(SlideStyle s)
{
    switch (s) {
    case SlideStyle::Center: return PictureView::ViewStyle::Centred;
    case SlideStyle::BestFit: return PictureView::ViewStyle::BestFit;
    case SlideStyle::Normal: break;
    }
    return PictureView::ViewStyle::Natural;
}

} // namespace

QWidget *PictureSlideHost::slideArea() { return view_.scrollArea(); }

SlideStyle PictureSlideHost::slideStyle() const
{
    switch (view_.viewStyle()) {
    case PictureView::ViewStyle::Centred: return SlideStyle::Center;
    case PictureView::ViewStyle::BestFit: return SlideStyle::BestFit;
    case PictureView::ViewStyle::Natural: break;
    }
    return SlideStyle::Normal;
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

void PictureSlideHost::showSlide(const QString &path, SlideStyle style)
{
    // The style sticks for the pictures shown after the show.
    view_.setViewStyle(toViewStyle(style));
    view_.showPicture(path, toViewStyle(style));
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

} // namespace vorn
