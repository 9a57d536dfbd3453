// Installs the sort bar into the window's sort tool bar.
#pragma once

namespace vorn
{

class SlideshowView;
class SortBarView;
class ViewHost;

// slideshow: its start button is locked while the quick targets are open; may be null.
SortBarView *install_sort_part(ViewHost &host, SlideshowView *slideshow);

} // namespace vorn
