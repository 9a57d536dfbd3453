#include "catalog/catalog_part.h"

#include "catalog/catalog_view.h"
#include "files/view_host.h"
#include "sorting/sort_bar_view.h"
#include "sorting/sort_engine.h"
#include "viewers/picture_view.h"

#include <QFrame>
#include <QLayout>
#include <QToolButton>

namespace vorn
{

CatalogView *install_catalog_part(ViewHost &host, ListAreaView &lists, StringGrid &grid, SortBarView *sort)
{
    QFrame *panel = host.panel(View::Catalog);
    auto *view = new CatalogView(host.context(), lists, grid, panel);
    panel->layout()->addWidget(view);
    host.addLockout(view->toolBar());
    QObject::connect(view, &CatalogView::lockRequested, &host,
                     [&host](bool locked) { host.setLocked(locked); });
    QObject::connect(view, &CatalogView::backToViewRequested, &host,
                     [&host] { host.bringToFront(View::Pictures); });
    view->setTextured(host.textured());
    QObject::connect(&host, &ViewHost::themeChanged, view, &CatalogView::setTextured);
    if (sort)
        sort->engine().setCatalogSource(view->sortSource());
    return view;
}

void adopt_goto_catalog_button(ViewHost &host, CatalogView *view, PictureView *pictures)
{
    QToolButton *button = pictures ? pictures->gotoCatalogButton() : nullptr;
    if (!button)
        return;
    button->show();
    QObject::connect(button, &QToolButton::clicked, view, [&host, view] {
        host.bringToFront(View::Catalog);
        view->bt_gotocatalogClick();
    });
}

} // namespace vorn
