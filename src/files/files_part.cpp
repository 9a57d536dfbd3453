#include "files/files_part.h"

#include "files/list_area_view.h"
#include "files/mask_bar_view.h"
#include "files/scan_panel_view.h"
#include "files/view_host.h"
#include "widgets/panel_status_bar.h"
#include "widgets/progress_panel.h"

#include <QFrame>

namespace vorn
{

ScanPanelView *install_files_part(ViewHost &host, ListAreaView &lists, MaskBarView &masks)
{
    AppContext &ctx = host.context();
    host.addLockout([&lists](bool locked) { lists.setListsEnabled(!locked); });

    auto *scan = new ScanPanelView(ctx, lists, host.panel(View::Pictures));
    QObject::connect(&lists, &ListAreaView::startScanClicked, scan, &ScanPanelView::bt_startscanclick);
    QObject::connect(&lists, &ListAreaView::clearScanClicked, scan, &ScanPanelView::bt_clearscanclick);
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
    QObject::connect(&lists, &ListAreaView::showFileRequested, &host,
                     [&host](const QString &path) { host.showFile(path); });

    // A new filter: the views let go, the folder is listed through it.
    QObject::connect(&masks, &MaskBarView::maskApplied, &host, [&host, &ctx, &lists] {
        host.releaseViews();
        if (ctx.mode() == ViewMode::Pictures)
            lists.refresh_folder_view();
        else
            lists.relist();
        if (ctx.maskFlags.zip)
            host.statusBar().setPanelText(0, ctx.msg(Msg::Mode) + ctx.msg(Msg::Extract));
        lists.updateListButtons();
    });
    return scan;
}

} // namespace vorn
