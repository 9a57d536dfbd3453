// Installs the video view into the window.
#pragma once

namespace vorn
{

class ViewHost;
class VideoView;

struct VideoPart {
    VideoView *view = nullptr;
};

VideoPart install_video_part(ViewHost &host);

} // namespace vorn
