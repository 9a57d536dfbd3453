// The operations of the ZIP view on the current archive: the click extraction into zip_dir,
// the preview, extracting to the target folder, packing, adding, deleting, opening with the
// desktop's application, and the slow engine calls run on the pool.
#include "archives/zip_part.h"
#include "archives/zip_preview_view.h"
#include "archives/zip_view.h"
#include "base/job.h"
#include "files/active_list.h"
#include "files/file_ops.h"
#include "files/view_host.h"
#include "sorting/sort_bar_view.h"
#include "sorting/sort_config_view.h"
#include "sorting/sort_engine.h"
#include "widgets/panel_status_bar.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

namespace vorn
{

namespace
{

QString folderPart(const QString &path)
{
    const qsizetype cut = path.lastIndexOf(QLatin1Char('/'));
    return cut >= 0 ? path.left(cut + 1) : QString();
}

// The deepest folder that holds all the paths, ending with '/'.
QString commonFolderOf(const QStringList &paths)
{
    QString common = paths.isEmpty() ? QString() : folderPart(paths.first());
    for (const QString &p : paths)
        while (!common.isEmpty() && !p.startsWith(common))
            common = folderPart(common.chopped(1));
    return common;
}

} // namespace

ZipView::~ZipView()
{
    delete job_; // cancels the engine call and waits for it before the archives go
    job_ = nullptr;
    if (sortRunsOut_ > 0 && sortJob_) { // so does a sort run reading an archive
        sortJob_->cancel();
        sortJob_->waitForWork();
    }
}

bool ZipView::isBusy() const
{
    if (job_ && job_->isRunning())
        return true;
    const ZipArchive *zip = currentArchive();
    return sortRunsOut_ > 0 || (zip && zip->busy());
}

void ZipView::runTask(std::function<ZipResult(const ZipProgress &)> work,
                      std::function<void(const ZipResult &)> then)
{
    if (isBusy())
        return;
    then_ = std::move(then);
    host_.setLocked(true);
    pc_zip_->setEnabled(false);
    side_->setEnabled(false);
    pb_zip_->setRange(0, 0);
    pb_zip_->show();
    bt_zipcancel_->show();
    job_->start([work = std::move(work)](JobToken &t) {
        return work([&t](qint64 done, qint64 total) {
            t.progress(done, total);
            return t.checkpoint();
        });
    });
}

void ZipView::onProgress(qint64 done, qint64 total)
{
    if (total > 0) {
        pb_zip_->setRange(0, 1000);
        pb_zip_->setValue(int(done * 1000 / total));
    }
}

void ZipView::onJobFinished()
{
    host_.setLocked(false);
    pc_zip_->setEnabled(true);
    side_->setEnabled(true);
    pb_zip_->hide();
    bt_zipcancel_->hide();
    ZipResult result;
    if (job_->hasResult())
        result = job_->result<ZipResult>();
    else
        result = {false, 0, 0, {{ZipIssue::Cancelled, {}, {}}}};
    const auto then = std::move(then_);
    then_ = nullptr;
    if (then)
        then(result);
    update_buttons();
}

void ZipView::report(const ZipResult &result, Msg failureText)
{
    // The problems, however many, scroll in a list under the message.
    const QStringList lines = zip_problem_lines(result, ctx_.texts());
    if (!result.ok && lines.isEmpty())
        ctx_.prompter().error(ctx_.msg(failureText));
    else if (!result.ok)
        ctx_.prompter().listMessage(ctx_.msg(failureText), lines, PromptIcon::Error);
    else if (result.skipped > 0)
        ctx_.prompter().listMessage(QString::number(result.skipped) + ctx_.msg(Msg::ZipSkippedFiles), lines,
                                    PromptIcon::Information);
}

QByteArray ZipView::askPassword(const std::vector<size_t> &chosen)
{
    ZipSlotEngine *engine = currentEngine();
    if (!engine || !engine->archive.needsPasswordAt(chosen))
        return {};
    if (!engine->password.isEmpty())
        return engine->password;
    const auto answer =
        ctx_.prompter().secret(ctx_.msg(Msg::ZipPasswordCaption), ctx_.msg(Msg::ZipPasswordPrompt));
    return answer ? answer->toUtf8() : QByteArray();
}

void ZipView::notePassword(ZipSlotEngine *engine, const QByteArray &password, const ZipResult &result)
{
    if (!engine || password.isEmpty())
        return;
    if (result.has(ZipIssue::WrongPassword))
        engine->password.clear(); // the next run asks again
    else if (result.done > 0)
        engine->password = password;
}

QStringList ZipView::selectedFiles() const
{
    QStringList paths;
    const ActiveList &list = host_.activeList();
    for (int row : list.selectedRows())
        paths << list.path(row);
    return paths;
}

std::vector<size_t> ZipView::selectedEntries(QStringList *fileNames) const
{
    std::vector<size_t> keys;
    QTableWidget *grid = currentGrid();
    if (!grid)
        return keys;
    QList<int> rows;
    for (const QModelIndex &i : grid->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    for (int r : rows) {
        keys.push_back(size_t(grid->item(r, ZcIndex)->text().toULongLong()));
        if (fileNames)
            *fileNames << grid->item(r, ZcName)->data(Qt::UserRole).toString();
    }
    return keys;
}

bool ZipView::gridHasFocus() const
{
    QTableWidget *grid = currentGrid();
    if (!grid || !grid->isVisible())
        return false;
    return grid->hasFocus() || (sortSource_ && grid->selectionModel()->hasSelection());
}

// ---- click and preview ----

void ZipView::zipgridclick()
{
    ZipArchive *zip = currentArchive();
    QStringList names;
    const std::vector<size_t> keys = selectedEntries(&names);
    if (!zip || keys.empty() || isBusy())
        return;
    sortSource_ = true; // the clicked rows are the sort source whatever takes the focus now
    entryInHand_ = names.constLast();
    retryClick_ = false;
    ZipExtractOptions options{false, true, askPassword(keys)};
    const QString dir = ctx_.paths().zipDir;
    const QPointer<ZipSlotEngine> engine = currentEngine();
    runTask([zip, keys, dir, options](const ZipProgress &p) { return zip->extractAt(keys, dir, options, p); },
            [this, engine, password = options.password](const ZipResult &r) {
                notePassword(engine, password, r);
                retryClick_ = r.has(ZipIssue::WrongPassword) || r.has(ZipIssue::PasswordNeeded);
                if (!r.ok) {
                    report(r, Msg::CannotUnzip);
                    entryInHand_.clear();
                }
                stat_zip_->setPanelText(2, entryInHand_);
                if (previewPending_) {
                    previewPending_ = false;
                    preview();
                }
            });
}

void ZipView::zipgriddblclick()
{
    if (isBusy())
        previewPending_ = true;
    else
        preview();
}

void ZipView::preview()
{
    emit sortSourceEntered();
    clear_preview();
    QTableWidget *grid = currentGrid();
    if (!grid || grid->selectionModel()->selectedRows().size() > 1) {
        update_buttons();
        return;
    }
    update_buttons();
    if (entryInHand_.isEmpty())
        return;
    const QString file = ctx_.paths().zipDir + entryInHand_;
    const ZipPreviewKind kind = zip_preview_kind(entryInHand_, bt_zipinzip_->isChecked());
    previewed_ = file;
    stat_zip_->setPanelText(2, entryInHand_);
    if (!QFileInfo::exists(file)) {
        ctx_.prompter().error(ctx_.msg(Msg::GridNotFound1) + file + ctx_.msg(Msg::CouldNotOpen));
        return;
    }
    if (kind == ZipPreviewKind::Zip) {
        if (!openList_.contains(file))
            open_archive(file); // a nested archive becomes a further tab
        return;
    }
    if (!preview_->show(file, kind, htmlSource_))
        ctx_.prompter().error(ctx_.msg(Msg::GridNotFound1) + file + ctx_.msg(Msg::CouldNotOpen));
    update_buttons();
}

void ZipView::bt_ziphtmlsourceClick()
{
    htmlSource_ = bt_ziphtmlsource_->isChecked();
    preview();
}

void ZipView::bt_zipcopytoclipbClick()
{
    preview_->copySelection();
    update_buttons();
}

void ZipView::bt_zipstartappClick()
{
    if (previewed_.isEmpty() || !QFileInfo::exists(previewed_) || !openOnDesktop_ ||
        !openOnDesktop_(previewed_))
        ctx_.prompter().info(ctx_.msg(Msg::NoAssociation));
    bt_zipstartapp_->setEnabled(false);
}

// ---- extract, pack, add, delete ----

void ZipView::bt_extracttoClick()
{
    if (lock_) {
        ctx_.prompter().info(ctx_.msg(Msg::CloseZipFirst));
        return;
    }
    ZipArchive *zip = currentArchive();
    if (bt_zipextract_->isChecked() && lastSlot_ >= 0 && zip) {
        const std::vector<size_t> keys = selectedEntries();
        const QString base = folderPart(lb_zipname_->text());
        if (keys.empty() || base.isEmpty()) {
            ctx_.prompter().info(ctx_.msg(keys.empty() ? Msg::NoFilesSelected : Msg::NoFolderSelected));
            return;
        }
        ZipExtractOptions options{cb_usefolder_->isChecked(), cb_overwrite_->isChecked(), askPassword(keys)};
        const QPointer<ZipSlotEngine> engine = currentEngine();
        runTask([zip, keys, base,
                 options](const ZipProgress &p) { return zip->extractAt(keys, base, options, p); },
                [this, engine, password = options.password](const ZipResult &r) {
                    notePassword(engine, password, r);
                    report(r, Msg::CannotUnzip);
                    lb_zipname_->setText(targetFolder_);
                });
        return;
    }
    if (bt_zipadd_->isChecked())
        packRun();
}

QString ZipView::mountPointOf(const QString &folder) const
{
    const QString mount = ctx_.drives().mount_point(folder);
    const QString clean = QDir::cleanPath(folder) + QLatin1Char('/');
    return (clean == mount || QDir::cleanPath(folder) == QDir::cleanPath(mount)) ? mount : QString();
}

void ZipView::packRun()
{
    QStringList sources;
    ZipAddOptions options;
    options.recurse = cb_subfolders_->isChecked();
    options.storeFolders = cb_foldername_->isChecked();
    if (cb_selfolder_->isChecked()) {
        const QString folder = host_.treeFolder();
        if (folder.isEmpty()) {
            ctx_.prompter().info(ctx_.msg(Msg::NoFolderSelected));
            return;
        }
        const QString mount = mountPointOf(folder);
        if (!mount.isEmpty()) {
            const QString note = ctx_.msg(Msg::ZipMountPointNote).arg(mount);
            if (ctx_.prompter().message(ctx_.msg(Msg::PackDriveQuestion1) + note, Answer::Yes | Answer::No,
                                        PromptIcon::Warning) != Answer::Yes ||
                ctx_.prompter().message(ctx_.msg(Msg::PackDriveQuestion2) + note, Answer::Yes | Answer::No,
                                        PromptIcon::Warning) != Answer::Yes)
                return;
        }
        sources << QDir::cleanPath(folder);
        options.baseDir = folderPart(QDir::cleanPath(folder)); // entries start with the folder's name
    } else {
        sources = selectedFiles();
        if (sources.isEmpty()) {
            ctx_.prompter().info(ctx_.msg(Msg::NoFilesSelected));
            return;
        }
        options.baseDir = commonFolderOf(sources);
    }
    const QString archive = zip_pack_path(lb_zipname_->text());
    if (archive.isEmpty() || folderPart(archive).isEmpty()) {
        ctx_.prompter().info(ctx_.msg(Msg::InputFilenameFirst));
        return;
    }
    lb_zipname_->setText(archive);
    runTask([archive, sources,
             options](const ZipProgress &p) { return ZipArchive::add(archive, sources, options, p); },
            [this, archive](const ZipResult &r) {
                if (!r.ok) {
                    report(r, Msg::ZipArchiveWrite);
                    return;
                }
                open_archive(archive);
                lock_ = true;
                update_buttons();
                ctx_.prompter().info(QString::number(r.done) + ctx_.msg(Msg::FilesAdded));
            });
}

void ZipView::bt_zipaddfileClick()
{
    const QStringList files = selectedFiles();
    ZipArchive *zip = currentArchive();
    if (files.isEmpty() || !zip) {
        ctx_.prompter().info(ctx_.msg(Msg::NoFilesSelected));
        return;
    }
    const QString path = zip->path();
    runTask(
        [path, files](const ZipProgress &p) {
            return ZipArchive::add(path, files, {false, false, 9, {}}, p);
        },
        [this, zip, path](const ZipResult &r) {
            if (!r.ok) {
                report(r, Msg::ZipArchiveWrite);
                return;
            }
            zip->open(path);
            fill_grid();
            ctx_.prompter().info(QString::number(r.done) + ctx_.msg(Msg::FilesAdded));
        });
}

void ZipView::bt_zipdeleteClick()
{
    ZipArchive *zip = currentArchive();
    if (lastSlot_ < 0 || !zip || !currentGrid() || currentGrid()->rowCount() == 0) {
        ctx_.prompter().info(ctx_.msg(Msg::NothingToDelete));
        return;
    }
    const std::vector<size_t> keys = selectedEntries();
    if (keys.empty()) {
        ctx_.prompter().info(ctx_.msg(Msg::NoFilesSelected));
        return;
    }
    runTask([zip, keys](const ZipProgress &) { return zip->removeAt(keys); },
            [this](const ZipResult &r) {
                if (!r.ok) {
                    report(r, Msg::ZipArchiveWrite);
                    return;
                }
                ctx_.prompter().info(QString::number(r.done) + ctx_.msg(Msg::FilesDeleted));
                fill_grid();
            });
}

SortExtraRun ZipView::prepareCopyInto(const QString &target)
{
    ZipArchive *zip = currentArchive();
    QStringList names;
    const std::vector<size_t> keys = selectedEntries(&names);
    if (!zip || keys.empty() || isBusy())
        return {};
    const QByteArray password = askPassword(keys);
    quint64 total = 0;
    for (size_t k : keys)
        total += zip->entries()[k].size;
    auto extracted = std::make_shared<ZipResult>();
    SortExtraRun run;
    // The copies in zip_dir are refreshed first, so that a row never clicked has one too; the
    // progress counts the extraction and the copying as one half each.
    run.work = [zip, keys, names, password, total, extracted, target,
                zipDir = ctx_.paths().zipDir](JobToken &t) {
        SortExtraOutcome out;
        const qint64 all = qint64(std::min<quint64>(total, quint64(1) << 61)) * 2;
        *extracted = zip->extractAt(keys, zipDir, {false, true, password}, [&t, all](qint64 done, qint64) {
            t.progress(done, all);
            return t.checkpoint();
        });
        if (extracted->has(ZipIssue::Cancelled))
            return out;
        qint64 before = all / 2;
        for (const QString &name : names) {
            const QString source = zipDir + name;
            const qint64 size = QFileInfo(source).size();
            if (!QFileInfo::exists(source))
                continue;
            if (!t.checkpoint())
                break;
            const FileOpResult op =
                FileOps::copy_into_folder(source, target, [&t, before, all, &name](qint64 done, qint64) {
                    t.progress(before + done, all, name);
                    return !t.cancelled();
                });
            if (op)
                out.run.append({source, op.newPath, SortOp::Copy, {}});
            else if (!t.cancelled())
                out.failures << name + QStringLiteral(": ") + op.error;
            before += size;
        }
        return out;
    };
    ++sortRunsOut_;
    run.finished = [view = QPointer<ZipView>(this), engine = QPointer<ZipSlotEngine>(currentEngine()),
                    password, extracted](const SortExtraOutcome &out) {
        if (!view)
            return;
        --view->sortRunsOut_;
        view->notePassword(engine, password, *extracted);
        QStringList lines;
        for (const ZipProblem &p : extracted->problems)
            if (p.issue != ZipIssue::Cancelled)
                lines << zip_problem_text(p, view->ctx_.texts());
        lines << out.failures;
        if (!lines.isEmpty())
            view->ctx_.prompter().listMessage(view->ctx_.msg(Msg::SortFailures), lines, PromptIcon::Error);
        view->update_buttons();
    };
    return run;
}

namespace
{

// The grid of the open archive as a source of the sort buttons: always a copy, under a free
// name in the target folder, recorded for undo.
class ZipSortSource : public QObject, public SortExtraSource
{
  public:
    explicit ZipSortSource(ZipView *view) : QObject(view), view_(view) {}
    bool isCurrentSource() const override { return view_->gridHasFocus(); }
    SortExtraRun prepareSort(const QString &target) override { return view_->prepareCopyInto(target); }

  private:
    ZipView *view_;
};

} // namespace

ZipPart install_zip_part(ViewHost &host, SortBarView *sortBar)
{
    QFrame *panel = host.panel(View::Zip);
    ZipPart part;
    ZipView *view = part.view = new ZipView(host, panel);
    panel->layout()->addWidget(view);
    host.registerViewer(View::Zip, view);
    if (!sortBar)
        return part;
    SortEngine *sort = &sortBar->engine();
    auto *source = new ZipSortSource(view);
    sort->setZipSource(source);
    view->setSortJob(&sort->job());
    QObject::connect(source, &QObject::destroyed, sort, [sort] { sort->setZipSource(nullptr); });
    // The sort bar's source text: while a sort template is loaded, it names the archive when
    // its grid has the focus.
    QObject::connect(view, &ZipView::sortSourceEntered, &host, [&host, view, sortBar] {
        AppContext &ctx = host.context();
        QString text;
        if (SortConfigView *config = sortBar->config();
            config && !config->sortConfig().templateName().isEmpty()) {
            if (host.activeList().hasFocus())
                text = ctx.msg(Msg::SourceFilelist);
            else if (view->gridHasFocus())
                text = ctx.msg(Msg::SourceZipfile);
        }
        host.statusBar().setPanelText(1, text);
    });
    return part;
}

} // namespace vorn
