#include "sorting/sort_part.h"

#include "files/view_host.h"
#include "sorting/sort_bar_view.h"
#include "sorting/sort_config_view.h"
#include "viewers/pictures/slideshow_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/progress_panel.h"
#include "widgets/theme.h"

#include <QTimer>

namespace vorn
{

SortBarView *install_sort_part(ViewHost &host, SlideshowView *slideshow)
{
    CollapsibleToolBar &bar = host.bar(FrameBar::Sort);
    auto *sort = new SortBarView(host.context(), host.activeList(), bar, host.statusBar(), kButtonRowHeight,
                                 bar.content());
    bar.addContent(sort);
    QObject::connect(sort, &SortBarView::releaseViews, &host, [&host] { host.releaseViews(); });
    // Runs lock the window's operations; their panel floats over the client area, unlocked.
    auto *panel = new ProgressPanel(QStringLiteral("pn_sortprogress"), host.clientArea());
    panel->setLockOut([&host](bool locked) { host.setLocked(locked); });
    sort->setProgressPanel(panel);
    // The sort buttons follow the colour switch of the function bar.
    QObject::connect(&host, &ViewHost::themeChanged, sort->config(), &SortConfigView::setTextured);
    // No slideshow starts while the quick targets are open.
    if (slideshow)
        QObject::connect(sort, &SortBarView::quickTargetsShown, slideshow, &SlideshowView::disableShowButton);
    // A journal of sort runs that could not be read was kept aside: said once the window runs.
    QTimer::singleShot(0, sort, [sort] { sort->engine().reportJournal(); });
    return sort;
}

} // namespace vorn
