// Lets the slideshow show its slides in the picture view.
#pragma once

#include "viewers/pictures/slide_host.h"

class QFrame;
class QWidget;

namespace vorn
{

class ActiveList;
class AppContext;
class PictureView;
class SlideshowView;

class PictureSlideHost : public SlideHost
{
  public:
    explicit PictureSlideHost(PictureView &view) : view_(view) {}

    QWidget *slideArea() override;
    ViewStyle slideStyle() const override;
    void enterSlideMode() override;
    void showSlide(const QString &path, ViewStyle style) override;
    void leaveSlideMode() override;

  private:
    PictureView &view_;
};

// The slideshow of the picture view: it floats over the client area, shows its slides in the
// view (panel: its panel, pn_viewmain) and is started with the view's slideshow button.
SlideshowView *make_picture_slideshow(AppContext &ctx, ActiveList &list, PictureView &view, QFrame *panel,
                                      QWidget *clientArea);

} // namespace vorn
