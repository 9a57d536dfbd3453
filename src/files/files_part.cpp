#include "files/files_part.h"

#include "files/list_area_view.h"
#include "files/scan_panel_view.h"
#include "files/view_host.h"
#include "widgets/panel_status_bar.h"
#include "widgets/progress_panel.h"

namespace vorn
{

ScanPanelView *install_files_part(ViewHost &host, ListAreaView &lists)
{
    AppContext &ctx = host.context();
    host.addLockout([&lists](bool locked) { lists.setListsEnabled(!locked); });

    auto *scan = new ScanPanelView(
        ctx, lists.searchFacade(), [&lists] { return lists.scanRoot(); }, host.panel(View::Pictures));
    QObject::connect(&lists, &ListAreaView::startScanClicked, scan, &ScanPanelView::bt_startscanclick);
    QObject::connect(scan, &ScanPanelView::lockRequested, &host,
                     [&host](bool locked) { host.setLocked(locked); });
    // Sending files to the trash locks the window's operations; its panel stays unlocked.
    auto *trashPanel = new ProgressPanel(QStringLiteral("pn_trashprogress"), host.clientArea());
    trashPanel->setLockOut([&host](bool locked) { host.setLocked(locked); });
    lists.setProgressPanel(trashPanel);
    QObject::connect(scan, &ScanPanelView::pictureViewRequested, &host,
                     [&host] { host.enterMode(ViewMode::Pictures); });
    QObject::connect(scan, &ScanPanelView::releaseViews, &host, [&host] { host.releaseViews(); });
    QObject::connect(&lists, &ListAreaView::releaseViews, &host, [&host] { host.releaseViews(); });
    lists.setLeaveCheck([&host] { return host.mayLeave(); });
    QObject::connect(&host, &ViewHost::routeRefused, &lists, &ListAreaView::routeRefused);
    QObject::connect(&lists, &ListAreaView::showFileRequested, &host,
                     [&host](const QString &path) { host.showFile(path); });

    // pc_listChange: the tab in front is the list tab of the context; the search list comes
    // with the picture view (outside ZIP mode), the catalog tab with the catalog view.
    QObject::connect(&lists, &ListAreaView::tabChanged, &host, [&host, &ctx, &lists](ListTab tab) {
        host.statusBar().setPanelText(1, QString());
        ctx.setListTab(tab);
        if (tab == ListTab::Scan && ctx.mode() != ViewMode::Zip)
            host.enterMode(ViewMode::Pictures);
        if (tab == ListTab::Catalog) {
            host.bringToFront(View::Catalog);
            host.statusBar().setPanelText(1, ctx.texts().caption(QStringLiteral("tab_catalog")));
        }
        lists.updateReadout();
    });

    // A filter with the ZIP mask names the extract mode in the status bar.
    QObject::connect(&ctx, &AppContext::filterChanged, &host, [&host, &ctx](const Filter &filter) {
        if (filter.flags.zip)
            host.statusBar().setPanelText(0, ctx.msg(Msg::Mode) + ctx.msg(Msg::Extract));
    });
    return scan;
}

} // namespace vorn
