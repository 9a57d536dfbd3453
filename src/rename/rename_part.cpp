#include "rename/rename_part.h"

#include "files/active_list.h"
#include "files/view_host.h"
#include "rename/rename_view.h"
#include "rename/stamp_view.h"
#include "widgets/progress_panel.h"

#include <QTimer>

namespace vorn
{

RenamePart install_rename_part(ViewHost &host)
{
    AppContext &ctx = host.context();
    auto *view = new RenameView(ctx, ctx.paths().progDir + QStringLiteral("vorn-rename.jnl"), nullptr);
    host.adopt(View::Rename, view);
    QObject::connect(&ctx, &AppContext::languageChanged, view, &RenameView::applyTexts);
    QObject::connect(view, &RenameView::busyChanged, &host, [&host](bool busy) { host.setLocked(busy); });
    // Rename, undo, stamp and attribute runs show their progress, with a cancel, over the client area; the
    // view locks the window around them itself.
    view->stampView()->setProgressPanel(
        new ProgressPanel(QStringLiteral("pn_stampprogress"), host.clientArea()));
    view->setProgressPanel(new ProgressPanel(QStringLiteral("pn_renameprogress"), host.clientArea()));
    // The main file list shows what the rename view left on disk.
    QObject::connect(view, &RenameView::filesChanged, &host,
                     [&host] { host.activeList().refreshFromDisk(); });
    // A run cut short by the end of the program is finished or undone once the window is up.
    QTimer::singleShot(0, view, &RenameView::recoverJournal);
    return {view};
}

} // namespace vorn
