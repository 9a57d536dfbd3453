// What the slideshow asks of the picture view that shows its slides.
#pragma once

#include "viewers/pictures/slideshow.h"

class QWidget;

namespace vorn
{

class SlideHost
{
  public:
    virtual ~SlideHost() = default;
    // The area the pictures are shown in (sb_1); the control panel floats over its top right.
    virtual QWidget *slideArea() = 0;
    // The view's own style: Center while bt_center is down, BestFit while bt_bestfit is down.
    virtual ViewStyle slideStyle() const = 0;
    // Slideshow mode begins: remove an active background, clear the view, release bt_lupe and
    // hide the magnifier, hide pn_zoom, stat_view, tbar_view and the picture frame.
    virtual void enterSlideMode() = 0;
    // Shows the picture at `path` in `style` (natural size, centred or best fit: bt_center and
    // bt_bestfit follow, so the pictures shown after it keep that style); pn_zoom stays hidden.
    virtual void showSlide(const QString &path, ViewStyle style) = 0;
    // Slideshow mode ends: show tbar_view, stat_view and pn_zoom, empty the first and fifth
    // panels of stat_view, centre or fit again as bt_center / bt_bestfit say, clear the view
    // and hide the frame.
    virtual void leaveSlideMode() = 0;
};

} // namespace vorn
