#include "sorting/sort_engine.h"

#include "files/app_context.h"
#include "files/file_helpers.h"
#include "files/file_ops.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>

namespace vorn
{

namespace
{

QString nameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The busy cursor for the length of a run; the cursor shown before comes back.
class BusyCursor
{
  public:
    BusyCursor()
    {
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            on_ = true;
        }
    }
    ~BusyCursor()
    {
        if (on_)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

  private:
    bool on_ = false;
};

} // namespace

int sort_reselect_index(int lastSelected, int removedBefore, int count)
{
    if (count <= 0)
        return -1;
    return qBound(0, lastSelected - removedBefore + 1, count - 1);
}

QList<FileSortOutcome> sort_files(const QStringList &sources, const QString &target, SortOp op, int language,
                                  SortJournal *journal)
{
    QList<FileSortOutcome> out;
    out.reserve(sources.size());
    if (journal)
        journal->begin_run();
    for (const QString &src : sources) {
        const FileOpResult r = op == SortOp::Move ? FileOps::move_into_folder(src, target)
                                                  : FileOps::copy_into_folder(src, target);
        FileSortOutcome o;
        if (r.ok) {
            o.newPath = r.newPath;
            // A move into the file's own folder leaves it where it is.
            o.moved = op == SortOp::Move && r.newPath != src;
            if (journal && (op == SortOp::Copy || o.moved))
                journal->add_step(SortStep{src, r.newPath, op, r.identity});
        } else {
            o.error = r.errorText(language);
        }
        out << o;
    }
    if (journal)
        journal->end_run();
    return out;
}

SortEngine::SortEngine(AppContext &ctx, QObject *parent)
    : QObject(parent), ctx_(ctx), journal_(ctx.paths().journalFile)
{
    journal_.load();
}

void SortEngine::reportJournal()
{
    if (!journal_.setAsidePath().isEmpty())
        ctx_.prompter().error(ctx_.msg(Msg::JournalSetAside) + QStringLiteral("\r\n") +
                              shown_name(journal_.setAsidePath()));
}

QString SortEngine::modeText() const
{
    return ctx_.msg(Msg::Mode) + ctx_.msg(mode_ == SortOp::Copy ? Msg::Copy : Msg::Move);
}

QString SortEngine::hoverModeText() const
{
    if (zip_ && zip_->isCurrentSource())
        return ctx_.msg(Msg::Mode) + ctx_.msg(Msg::Extract);
    return modeText();
}

QString SortEngine::quickTarget(int k) const
{
    return k >= 1 && k <= 3 ? quick_[k - 1] : QString();
}

void SortEngine::setQuickTarget(int k, const QString &folder)
{
    if (k >= 1 && k <= 3)
        quick_[k - 1] = with_trailing_slash(folder);
}

bool SortEngine::sort_into_target(const QString &target)
{
    // 1. A CD-ROM (or read-only) target; an empty target has no drive and passes.
    if (!target.isEmpty() && ctx_.drives().is_cdrom_drive(target)) {
        ctx_.prompter().error(ctx_.msg(Msg::CdromNoWrite));
        return false;
    }
    // 2. In the picture mode the active list must have a selection with a focused item.
    const bool catalogTab = ctx_.listTab() == ListTab::Catalog;
    if (ctx_.mode() == ViewMode::Pictures && !catalogTab) {
        if (!list_ || list_->count() == 0 || list_->selectedRows().isEmpty() || !list_->hasFocusItem()) {
            ctx_.prompter().error(ctx_.msg(Msg::NoFilesSelected));
            return false;
        }
        if (ctx_.filter().flags.user)
            list_->takeFocus();
    }
    // 3. and 4. The target itself.
    if (target.isEmpty()) {
        ctx_.prompter().error(ctx_.msg(Msg::NoTargetForButton));
        return false;
    }
    if (!QFileInfo(target).isDir()) {
        ctx_.prompter().error(ctx_.msg(Msg::TargetNotFound) + target);
        return false;
    }
    // 5. Dispatch by the source the user last worked in. In the picture mode the checked
    // selection of the list is the source unless the ZIP grid has the focus: a focus left on
    // the picture must not make the button do nothing.
    const bool zipNow = zip_ && zip_->isCurrentSource();
    if (list_ && ctx_.mode() == ViewMode::Pictures && !catalogTab && !zipNow && !list_->hasFocus())
        list_->takeFocus();
    if (list_ && list_->hasFocus())
        sort_from_list(target);
    if (zip_ && zip_->isCurrentSource())
        sort_from_zip(target);
    if (catalogTab && catalog_)
        sort_from_catalog(target);
    // 6.
    QCoreApplication::processEvents();
    return true;
}

int SortEngine::collect_selected_files(QStringList *paths) const
{
    paths->clear();
    if (!list_)
        return -1;
    int last = -1;
    for (int row : list_->selectedRows()) {
        paths->append(list_->filePath(row));
        last = row;
    }
    return last;
}

ListRunResult SortEngine::sort_from_list(const QString &target)
{
    ListRunResult result;
    if (!list_)
        return result;
    const SortOp op = mode_;
    QStringList sources;
    int removed = 0;
    {
        BusyCursor busy;
        const QList<int> rows = list_->selectedRows();
        result.last = collect_selected_files(&sources);
        const QList<FileSortOutcome> outcomes = sort_files(sources, target, op, ctx_.language(), &journal_);
        QList<int> gone;
        for (qsizetype i = 0; i < outcomes.size(); ++i) {
            const FileSortOutcome &o = outcomes[i];
            if (o.newPath.isEmpty()) {
                result.failures << shown_name(nameOf(sources[i])) + QStringLiteral(": ") + o.error;
                continue;
            }
            if (op == SortOp::Copy)
                result.done << SortStep{sources[i], o.newPath, SortOp::Copy, {}};
            else if (o.moved) {
                result.done << SortStep{sources[i], o.newPath, SortOp::Move, {}};
                gone << rows[i];
            }
        }
        // Only the items whose files really left their folder leave the list.
        if (!gone.isEmpty())
            list_->removeRows(gone);
        removed = int(gone.size());
        QCoreApplication::processEvents();
        const int n = list_->count();
        if (n == 0) {
            list_->emptied();
            QCoreApplication::processEvents();
        } else {
            list_->reselect(sort_reselect_index(result.last, removed, n));
        }
    }
    result.last -= removed;
    if (!result.done.isEmpty())
        emit filesChanged(); // the journal has the run already
    if (!result.failures.isEmpty())
        ctx_.prompter().error(ctx_.msg(Msg::SortFailures) + QStringLiteral("\r\n\r\n") +
                              result.failures.join(QStringLiteral("\r\n")));
    return result;
}

void SortEngine::sort_from_zip(const QString &target)
{
    if (!zip_)
        return;
    BusyCursor busy;
    record(zip_->sortInto(target));
}

void SortEngine::sort_from_catalog(const QString &target)
{
    if (catalog_)
        record(catalog_->sortInto(target));
}

void SortEngine::record(const SortRun &run)
{
    if (run.isEmpty())
        return;
    // A journal that cannot be written still undoes this session's runs.
    journal_.record(run);
    emit filesChanged();
}

UndoResult SortEngine::undo_last_run()
{
    if (journal_.isEmpty()) {
        ctx_.prompter().info(ctx_.msg(Msg::UndoNothing));
        return {};
    }
    UndoResult r;
    {
        BusyCursor busy;
        FileOps ops(ctx_.paths().trashDir);
        r = journal_.undo_last(ops, ctx_.language());
    }
    emit filesChanged();
    emit undone(r.restored);
    // What was undone and what was skipped, with the reasons.
    const QString crlf = QStringLiteral("\r\n");
    QString text;
    if (r.unfinishedRun)
        text = ctx_.msg(Msg::UndoUnfinishedRun) + crlf;
    if (!r.failures.isEmpty() || r.unfinishedRun)
        text += ctx_.msg(Msg::UndoDone) + QString::number(r.restored) + crlf + ctx_.msg(Msg::UndoSkipped) +
                QString::number(r.failures.size());
    if (!r.failures.isEmpty())
        ctx_.prompter().error(text + crlf + crlf + ctx_.msg(Msg::UndoFailures) + crlf + crlf +
                              r.failures.join(crlf));
    else if (r.unfinishedRun)
        ctx_.prompter().info(text);
    return r;
}

} // namespace vorn
