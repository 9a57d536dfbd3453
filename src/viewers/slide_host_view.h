// Lets the slideshow show its slides in the picture view.
#pragma once

#include "viewers/slide_host.h"

namespace vorn
{

class PictureView;

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

} // namespace vorn
