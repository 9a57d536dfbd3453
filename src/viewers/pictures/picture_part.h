// Installs the picture view and the slideshow into the window.
#pragma once

namespace vorn
{

class PictureView;
class SlideshowView;
class ViewHost;

struct PicturePart {
    PictureView *view = nullptr;
    SlideshowView *slideshow = nullptr;
};

PicturePart install_picture_part(ViewHost &host);

} // namespace vorn
