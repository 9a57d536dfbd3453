#include "sorting/sort_part.h"

#include "files/view_host.h"
#include "sorting/sort_bar_view.h"
#include "viewers/picture_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/progress_panel.h"
#include "widgets/theme.h"

#include <QLayout>
#include <QTimer>
#include <QToolButton>

namespace vorn
{

SortBarView *install_sort_part(ViewHost &host, PictureView *pictures)
{
    CollapsibleToolBar &bar = host.bar(FrameBar::Sort);
    auto *sort = new SortBarView(host.context(), host.activeList(), bar, host.statusBar(), kButtonRowHeight,
                                 bar.content());
    bar.contentLayout()->addWidget(sort);
    QObject::connect(sort, &SortBarView::releaseViews, &host, [&host] { host.releaseViews(); });
    // Runs lock the window's operations; their panel floats over the client area, unlocked.
    auto *panel = new ProgressPanel(QStringLiteral("pn_sortprogress"), host.clientArea());
    panel->setLockOut([&host](bool locked) { host.setLocked(locked); });
    sort->setProgressPanel(panel);
    if (pictures) {
        QToolButton *dia = pictures->diashowButton();
        QObject::connect(sort, &SortBarView::quickTargetsShown, dia, [dia] { dia->setEnabled(false); });
    }
    // A journal of sort runs that could not be read was kept aside: said once the window runs.
    QTimer::singleShot(0, sort, [sort] { sort->engine().reportJournal(); });
    return sort;
}

} // namespace vorn
