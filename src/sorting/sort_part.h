// Installs the sort bar into the window's sort tool bar.
#pragma once

namespace vorn
{

class PictureView;
class SortBarView;
class ViewHost;

// pictures: its slideshow button is locked while the quick targets are open.
SortBarView *install_sort_part(ViewHost &host, PictureView *pictures);

} // namespace vorn
