// Installs the tree scan and the mask wiring around the list area and the mask bar, which the
// window's frame holds.
#pragma once

namespace vorn
{

class ListAreaView;
class MaskBarView;
class ScanPanelView;
class ViewHost;

ScanPanelView *install_files_part(ViewHost &host, ListAreaView &lists, MaskBarView &masks);

} // namespace vorn
