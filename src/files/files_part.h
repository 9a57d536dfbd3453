// Installs the tree scan and the wiring of the list area, which the window's frame holds.
#pragma once

namespace vorn
{

class ListAreaView;
class ScanPanelView;
class ViewHost;

ScanPanelView *install_files_part(ViewHost &host, ListAreaView &lists);

} // namespace vorn
