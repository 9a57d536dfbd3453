// Installs the catalog page: its view in pn_catalogmain, the catalog list on the catalog tab,
// its tool bar in the lock-out, and the catalog picture as a source of the sort buttons.
#pragma once

namespace vorn
{

class CatalogView;
class PictureView;
class ListAreaView;
class SortBarView;
class StringGrid;
class ViewHost;

// grid: the catalog list the window loads from and saves to vorn.pth; sort: may be null;
// pictures: its catalog button is shown and brings the catalog page to the front; may be null.
CatalogView *install_catalog_part(ViewHost &host, ListAreaView &lists, StringGrid &grid, SortBarView *sort,
                                  PictureView *pictures);

} // namespace vorn
