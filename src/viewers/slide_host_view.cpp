#include "viewers/slide_host_view.h"

#include "viewers/magnifier_view.h"
#include "viewers/picture_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/panel_status_bar.h"

#include <QFrame>
#include <QScrollArea>

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

} // namespace vorn
