// How a picture is laid out in the picture view and in the slideshow: at natural size
// (zoomable), centred, or fitted into the view.
#pragma once

namespace vorn
{

enum class ViewStyle { Normal, Center, BestFit };

} // namespace vorn
