#include "catalog/catalog_part.h"

#include "catalog/catalog_view.h"
#include "files/list_area_view.h"
#include "files/view_host.h"
#include "sorting/sort_bar_view.h"
#include "sorting/sort_engine.h"
#include "viewers/pictures/picture_view.h"

namespace vorn
{

CatalogView *install_catalog_part(ViewHost &host, ListAreaView &lists, StringGrid &grid, SortBarView *sort,
                                  PictureView *pictures)
{
    auto *view = new CatalogView(host.context(), lists.folderFacade(), lists.searchFacade(),
                                 lists.catalogTab(), grid, nullptr);
    host.adopt(View::Catalog, view);
    host.addLockout(view->toolBar());
    QObject::connect(view, &CatalogView::lockRequested, &host,
                     [&host](bool locked) { host.setLocked(locked); });
    QObject::connect(view, &CatalogView::backToViewRequested, &host,
                     [&host] { host.bringToFront(View::Pictures); });
    // A finished (or cancelled) generation leaves the catalog tab in front, so that the catalog
    // is what the sort buttons take their picture from.
    QObject::connect(view, &CatalogView::catalogCreated, &lists, &ListAreaView::showCatalogTab);
    view->setTextured(host.textured());
    QObject::connect(&host, &ViewHost::themeChanged, view, &CatalogView::setTextured);
    if (sort)
        sort->engine().setCatalogSource(view->sortSource());
    // The catalog button of the picture tool bar brings the catalog page to the front.
    if (pictures) {
        pictures->offerCatalog();
        QObject::connect(pictures, &PictureView::catalogRequested, view, [&host, view] {
            host.bringToFront(View::Catalog);
            view->bt_gotocatalogClick();
        });
    }
    return view;
}

} // namespace vorn
