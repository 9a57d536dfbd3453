#include "sorting/sort_engine.h"

#include "base/job.h"
#include "files/app_context.h"
#include "files/file_helpers.h"
#include "files/file_ops.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <utility>

namespace vorn
{

namespace
{

QString nameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

int sort_reselect_index(int lastSelected, int removedBefore, int count)
{
    if (count <= 0)
        return -1;
    return qBound(0, lastSelected - removedBefore + 1, count - 1);
}

QList<FileSortOutcome> sort_files(const QStringList &sources, const QString &target, SortOp op, int language,
                                  SortJournal *journal, JobToken *token)
{
    // With a token, progress counts bytes: a single large file moves its bar too. starts[i] is
    // the bytes of the files before file i.
    QList<qint64> starts;
    qint64 total = 0;
    if (token)
        for (const QString &src : sources) {
            starts << total;
            total += qMax<qint64>(0, identity_of_path(src).size);
        }
    QString shown;
    // Asked before each file: false stops the run there.
    const auto next = [&](qsizetype i) {
        if (!token)
            return true;
        if (!token->checkpoint())
            return false;
        shown = shown_name(nameOf(sources[i]));
        token->progress(starts[i], total, shown);
        return true;
    };
    const auto copied = [&](qsizetype i, qint64 done) {
        token->progress(starts[i] + done, total, shown);
        return !token->cancelled();
    };
    const auto outcome = [&](qsizetype i, const FileOpResult &r) {
        FileSortOutcome o;
        if (r.ok) {
            o.newPath = r.newPath;
            // A move into the file's own folder leaves it where it is.
            o.moved = op == SortOp::Move && r.newPath != sources[i];
            if (journal && (op == SortOp::Copy || o.moved))
                journal->add_step(SortStep{sources[i], r.newPath, op, r.identity});
        } else {
            o.error = r.errorText(language);
        }
        return o;
    };

    QList<FileSortOutcome> out;
    if (journal)
        journal->begin_run();
    if (op == SortOp::Move) {
        // One batch: each step is recorded as soon as its file has moved.
        out.resize(sources.size());
        MoveBatchCalls calls;
        calls.next = next;
        if (token)
            calls.progress = [&copied](qsizetype i, qint64 done, qint64) { return copied(i, done); };
        calls.done = [&](qsizetype i, const FileOpResult &r) { out[i] = outcome(i, r); };
        out.resize(FileOps::move_all_into_folder(sources, target, calls));
    } else {
        out.reserve(sources.size());
        for (qsizetype i = 0; i < sources.size() && next(i); ++i) {
            FileOpProgress progress;
            if (token)
                progress = [&copied, i](qint64 done, qint64) { return copied(i, done); };
            const FileOpResult r = FileOps::copy_into_folder(sources[i], target, progress);
            if (!r.ok && r.errorCode == ECANCELED && token && token->cancelled())
                break; // stopped inside the copy: nothing of this file was done
            out << outcome(i, r);
        }
    }
    if (journal)
        journal->end_run();
    return out;
}

SortEngine::SortEngine(AppContext &ctx, QObject *parent)
    : QObject(parent), ctx_(ctx), journal_(ctx.paths().journalFile), job_(std::make_unique<Job>())
{
    journal_.load();
    connect(job_.get(), &Job::finished, this, &SortEngine::onJobFinished);
}

SortEngine::~SortEngine() = default;

bool SortEngine::isBusy() const
{
    return task_ != Task::None;
}

QString SortEngine::busyText() const
{
    switch (task_) {
    case Task::Undo:
        return ctx_.msg(Msg::WorkUndoing);
    case Task::Folder:
        return ctx_.msg(Msg::WorkTrashing);
    default:
        return ctx_.msg(Msg::WorkSorting);
    }
}

void SortEngine::cancel()
{
    if (isBusy())
        job_->cancel();
}

void SortEngine::begin(Task task)
{
    task_ = task;
    emit busyChanged(true);
}

void SortEngine::onJobFinished()
{
    const Task task = std::exchange(task_, Task::None);
    // The controls come back first: the reselection focuses the list.
    emit busyChanged(false);
    switch (task) {
    case Task::List:
        finishListRun();
        break;
    case Task::Undo:
        finishUndo();
        break;
    case Task::Folder:
        finishFolder();
        break;
    case Task::Extra:
        finishExtra();
        break;
    case Task::None:
        break;
    }
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
    // One run at a time (a key may still reach a button while a run goes on).
    if (isBusy())
        return false;
    // A CD-ROM (or read-only) target; an empty target has no drive and passes.
    if (!target.isEmpty() && ctx_.drives().is_cdrom_drive(target)) {
        ctx_.prompter().error(ctx_.msg(Msg::CdromNoWrite));
        return false;
    }
    // In the picture mode (and at start, with its button down) the active list must have a
    // selection with a focused item.
    const bool catalogTab = ctx_.listTab() == ListTab::Catalog;
    const bool pictures = ctx_.mode() == ViewMode::Pictures || ctx_.mode() == ViewMode::None;
    if (pictures && !catalogTab) {
        if (!list_ || list_->count() == 0 || list_->selectedRows().isEmpty() || !list_->hasFocusItem()) {
            ctx_.prompter().error(ctx_.msg(Msg::NoFilesSelected));
            return false;
        }
        if (ctx_.filter().flags.user)
            list_->takeFocus();
    }
    // The target itself.
    if (target.isEmpty()) {
        ctx_.prompter().error(ctx_.msg(Msg::NoTargetForButton));
        return false;
    }
    if (!QFileInfo(target).isDir()) {
        ctx_.prompter().error(ctx_.msg(Msg::TargetNotFound) + target);
        return false;
    }
    // Dispatch by the source the user last worked in. In the picture mode the checked
    // selection of the list is the source unless the ZIP grid has the focus: a focus left on
    // the picture must not make the button do nothing. The list and the grid are never both
    // the source: while the user works in the grid, a focus the window left on the list is not
    // his choice.
    const bool zipNow = zip_ && zip_->isCurrentSource();
    if (list_ && pictures && !catalogTab && !zipNow && !list_->hasFocus())
        list_->takeFocus();
    // The other sources follow when the list run has ended.
    if (!(!zipNow && list_ && list_->hasFocus() && sort_from_list(target)))
        sortFromExtraSources(target);
    return true;
}

void SortEngine::sortFromExtraSources(const QString &target)
{
    extraQueue_.clear();
    if (zip_ && zip_->isCurrentSource())
        extraQueue_ << zip_;
    if (ctx_.listTab() == ListTab::Catalog && catalog_)
        extraQueue_ << catalog_;
    target_ = target;
    startNextExtra();
}

void SortEngine::startNextExtra()
{
    while (!extraQueue_.isEmpty() && !isBusy()) {
        SortExtraRun run = extraQueue_.takeFirst()->prepareSort(target_);
        if (!run)
            continue;
        extraFinished_ = std::move(run.finished);
        begin(Task::Extra);
        job_->start([work = std::move(run.work)](JobToken &t) { return work(t); });
    }
}

void SortEngine::finishExtra()
{
    const SortExtraOutcome out = job_->hasResult() ? job_->result<SortExtraOutcome>() : SortExtraOutcome();
    record(out.run); // what was copied before a cancel is recorded too
    if (const auto finished = std::exchange(extraFinished_, nullptr))
        finished(out);
    else if (!out.failures.isEmpty())
        ctx_.prompter().listMessage(ctx_.msg(Msg::SortFailures), out.failures, PromptIcon::Error);
    if (job_->wasCancelled())
        extraQueue_.clear();
    startNextExtra();
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

bool SortEngine::sort_from_list(const QString &target)
{
    if (!list_ || isBusy())
        return false;
    target_ = target;
    runOp_ = mode_;
    rows_ = list_->selectedRows();
    last_ = collect_selected_files(&sources_);
    begin(Task::List);
    job_->start([sources = sources_, target, op = runOp_, language = ctx_.language(), journal = &journal_](
                    JobToken &t) { return sort_files(sources, target, op, language, journal, &t); });
    return true;
}

void SortEngine::finishListRun()
{
    const QList<FileSortOutcome> outcomes =
        job_->hasResult() ? job_->result<QList<FileSortOutcome>>() : QList<FileSortOutcome>();
    const SortOp op = runOp_;
    bool changed = false;
    QStringList failures;
    QList<int> gone;
    // A cancelled run has outcomes for the files it got to, in order.
    for (qsizetype i = 0; i < outcomes.size() && i < sources_.size(); ++i) {
        const FileSortOutcome &o = outcomes[i];
        if (o.newPath.isEmpty()) {
            failures << shown_name(nameOf(sources_[i])) + QStringLiteral(": ") + o.error;
            continue;
        }
        if (op == SortOp::Copy) {
            changed = true;
        } else if (o.moved) {
            changed = true;
            gone << rows_[i];
        }
    }
    if (list_) {
        // Only the items whose files really left their folder leave the list.
        if (!gone.isEmpty())
            list_->removeRows(gone);
        const int n = list_->count();
        if (n == 0)
            list_->emptied();
        else
            list_->reselect(sort_reselect_index(last_, int(gone.size()), n));
    }
    if (changed)
        emit filesChanged(); // the journal has the run already
    if (!failures.isEmpty())
        ctx_.prompter().listMessage(ctx_.msg(Msg::SortFailures), failures, PromptIcon::Error);
    sources_.clear();
    rows_.clear();
    if (!job_->wasCancelled())
        sortFromExtraSources(target_);
}

void SortEngine::sort_from_zip(const QString &target)
{
    if (!zip_ || isBusy())
        return;
    extraQueue_ = {zip_};
    target_ = target;
    startNextExtra();
}

void SortEngine::sort_from_catalog(const QString &target)
{
    if (!catalog_ || isBusy())
        return;
    extraQueue_ = {catalog_};
    target_ = target;
    startNextExtra();
}

void SortEngine::record(const SortRun &run)
{
    if (run.isEmpty())
        return;
    // A journal that cannot be written still undoes this session's runs.
    journal_.record(run);
    emit filesChanged();
}

void SortEngine::undo_last_run()
{
    if (isBusy())
        return;
    if (journal_.isEmpty()) {
        ctx_.prompter().info(ctx_.msg(Msg::UndoNothing));
        return;
    }
    begin(Task::Undo);
    job_->start(
        [journal = &journal_, trash = ctx_.paths().trashDir, language = ctx_.language()](JobToken &t) {
            FileOps ops(trash);
            return journal->undo_last(ops, language, &t);
        });
}

void SortEngine::finishUndo()
{
    const UndoResult r = job_->hasResult() ? job_->result<UndoResult>() : UndoResult();
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
        ctx_.prompter().listMessage(text + crlf + crlf + ctx_.msg(Msg::UndoFailures), r.failures,
                                    PromptIcon::Error);
    else if (r.unfinishedRun)
        ctx_.prompter().info(text);
    emit undoFinished();
}

void SortEngine::trash_folder_files(const QString &folder)
{
    if (isBusy())
        return;
    target_ = folder;
    begin(Task::Folder);
    job_->start([folder, trash = ctx_.paths().trashDir, language = ctx_.language()](JobToken &t) {
        FileOps ops(trash);
        const FileOpProgress progress = [&t](qint64, qint64) { return !t.cancelled(); };
        QStringList remained;
        const QStringList names = folder_entries(folder, true);
        for (qsizetype i = 0; i < names.size() && t.checkpoint(); ++i) {
            t.progress(i, names.size(), shown_name(names[i]));
            const FileOpResult r = ops.delete_to_trash(with_trailing_slash(folder) + names[i], progress);
            if (!r.ok && !(r.errorCode == ECANCELED && t.cancelled()))
                remained << shown_name(names[i]) + QStringLiteral(": ") + r.errorText(language);
        }
        QDir().rmdir(folder);
        return remained;
    });
}

void SortEngine::finishFolder()
{
    const QStringList remained = job_->hasResult() ? job_->result<QStringList>() : QStringList();
    if (!remained.isEmpty())
        ctx_.prompter().error(ctx_.msg(Msg::FolderFilesRemained) + QStringLiteral("\r\n\r\n") +
                              remained.join(QStringLiteral("\r\n")));
    emit folderTrashed(target_);
}

} // namespace vorn
