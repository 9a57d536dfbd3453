// The operations of the ZIP view on the current archive: the click extraction into zip_dir,
// the preview, extracting to the target folder, packing, adding, deleting, opening with the
// desktop's application, and the slow engine calls run on the pool.
#include "archives/zip_preview_widget.h"
#include "archives/zip_view.h"
#include "files/file_ops.h"
#include "sorting/sort_engine.h"
#include "widgets/panel_status_bar.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

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
    if (task_) {
        *task_->cancel = true;
        task_->watcher.waitForFinished();
    }
}

bool ZipView::isBusy() const
{
    return task_ != nullptr;
}

void ZipView::runTask(std::function<ZipResult(const ZipProgress &)> work,
                      std::function<void(const ZipResult &)> then)
{
    if (task_)
        return;
    task_ = std::make_unique<Task>();
    Task *t = task_.get();
    t->then = std::move(then);
    toolBar_->setEnabled(false);
    pc_zip_->setEnabled(false);
    side_->setEnabled(false);
    pb_zip_->setRange(0, 0);
    pb_zip_->show();
    bt_zipcancel_->show();
    t->timer.setInterval(100);
    connect(&t->timer, &QTimer::timeout, this, [this, t] {
        const qint64 total = *t->total;
        if (total > 0) {
            pb_zip_->setRange(0, 1000);
            pb_zip_->setValue(int(*t->done * 1000 / total));
        }
    });
    t->timer.start();
    connect(&t->watcher, &QFutureWatcherBase::finished, this, [this] {
        std::unique_ptr<Task> done = std::move(task_);
        toolBar_->setEnabled(true);
        pc_zip_->setEnabled(true);
        side_->setEnabled(true);
        pb_zip_->hide();
        bt_zipcancel_->hide();
        const ZipResult result = done->watcher.result();
        done->then(result);
        update_buttons();
    });
    ZipProgress progress = [cancel = t->cancel, done = t->done, total = t->total](qint64 d, qint64 all) {
        *done = d;
        *total = all;
        return !cancel->load();
    };
    t->watcher.setFuture(QtConcurrent::run([work = std::move(work), progress] { return work(progress); }));
}

void ZipView::report(const ZipResult &result, Msg failureText)
{
    const QString lines = zip_problems_text(result, ctx_.texts());
    if (!result.ok)
        ctx_.prompter().error(ctx_.msg(failureText) +
                              (lines.isEmpty() ? QString() : QStringLiteral("\n\n") + lines));
    else if (result.skipped > 0)
        ctx_.prompter().info(QString::number(result.skipped) + ctx_.msg(Msg::ZipSkippedFiles) +
                             QStringLiteral("\n\n") + lines);
}

QByteArray ZipView::askPassword(const QStringList &keys)
{
    ZipArchive *zip = currentArchive();
    if (!zip || !zip->needsPassword(keys))
        return {};
    const auto answer =
        ctx_.prompter().input(ctx_.msg(Msg::ZipPasswordCaption), ctx_.msg(Msg::ZipPasswordPrompt));
    return answer ? answer->toUtf8() : QByteArray();
}

QStringList ZipView::selectedKeys(QStringList *fileNames) const
{
    QStringList keys;
    QTableWidget *grid = currentGrid();
    if (!grid)
        return keys;
    QList<int> rows;
    for (const QModelIndex &i : grid->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    for (int r : rows) {
        keys << grid->item(r, ZcKey)->text();
        if (fileNames)
            *fileNames << grid->item(r, ZcName)->data(Qt::UserRole).toString();
    }
    return keys;
}

bool ZipView::gridHasFocus() const
{
    QTableWidget *grid = currentGrid();
    return grid && grid->hasFocus();
}

// ---- click and preview ----

void ZipView::zipgridclick()
{
    ZipArchive *zip = currentArchive();
    QStringList names;
    const QStringList keys = selectedKeys(&names);
    if (!zip || keys.isEmpty() || task_)
        return;
    entryInHand_ = names.constLast();
    ZipExtractOptions options{false, true, askPassword(keys)};
    const QString dir = ctx_.paths().zipDir;
    runTask([zip, keys, dir, options](const ZipProgress &p) { return zip->extract(keys, dir, options, p); },
            [this](const ZipResult &r) {
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
    if (task_)
        previewPending_ = true;
    else
        preview();
}

void ZipView::preview()
{
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
    if (!preview_->show(file, kind, htmlSource_, ctx_.msg(Msg::ZipNoPreviewPlayer)))
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
    if (previewed_.isEmpty() || !QFileInfo::exists(previewed_) ||
        !QDesktopServices::openUrl(QUrl::fromLocalFile(previewed_)))
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
        const QStringList keys = selectedKeys();
        const QString base = folderPart(lb_zipname_->text());
        if (keys.isEmpty() || base.isEmpty()) {
            ctx_.prompter().info(ctx_.msg(keys.isEmpty() ? Msg::NoFilesSelected : Msg::NoFolderSelected));
            return;
        }
        ZipExtractOptions options{cb_usefolder_->isChecked(), cb_overwrite_->isChecked(), askPassword(keys)};
        runTask(
            [zip, keys, base, options](const ZipProgress &p) { return zip->extract(keys, base, options, p); },
            [this](const ZipResult &r) {
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
        const QString folder = host_.treeFolder ? host_.treeFolder() : QString();
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
        sources = host_.selectedFiles ? host_.selectedFiles() : QStringList();
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
    const QStringList files = host_.selectedFiles ? host_.selectedFiles() : QStringList();
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
    const QStringList keys = selectedKeys();
    if (keys.isEmpty()) {
        ctx_.prompter().info(ctx_.msg(Msg::NoFilesSelected));
        return;
    }
    runTask([zip, keys](const ZipProgress &) { return zip->remove(keys); },
            [this](const ZipResult &r) {
                if (!r.ok) {
                    report(r, Msg::ZipArchiveWrite);
                    return;
                }
                ctx_.prompter().info(QString::number(r.done) + ctx_.msg(Msg::FilesDeleted));
                fill_grid();
            });
}

QStringList ZipView::copySelectedInto(const QString &target, QStringList *failures)
{
    QStringList made;
    ZipArchive *zip = currentArchive();
    QStringList names;
    const QStringList keys = selectedKeys(&names);
    if (!zip || keys.isEmpty() || task_)
        return made;
    // The copies in zip_dir are refreshed first, so that a row never clicked has one too.
    const ZipResult r = zip->extract(keys, ctx_.paths().zipDir, {false, true, askPassword(keys)});
    for (const ZipProblem &p : r.problems)
        failures->append(zip_problem_text(p, ctx_.texts()));
    for (const QString &name : std::as_const(names)) {
        const QString source = ctx_.paths().zipDir + name;
        if (!QFileInfo::exists(source))
            continue;
        const FileOpResult op = FileOps::copy_into_folder(source, target);
        if (op)
            made << source << op.newPath;
        else
            failures->append(name + QStringLiteral(": ") + op.error);
    }
    return made;
}

namespace
{

// The grid of the open archive as a source of the sort buttons: always a copy, under a free
// name in the target folder, recorded for undo.
class ZipSortSource : public QObject, public SortExtraSource
{
  public:
    ZipSortSource(ZipView *view, AppContext &ctx) : QObject(view), view_(view), ctx_(ctx) {}
    bool isCurrentSource() const override { return view_->gridHasFocus(); }
    SortRun sortInto(const QString &target) override
    {
        QStringList failures;
        const QStringList made = view_->copySelectedInto(target, &failures);
        SortRun run;
        for (qsizetype i = 0; i + 1 < made.size(); i += 2)
            run.append({made[i], made[i + 1], SortOp::Copy});
        if (!failures.isEmpty())
            ctx_.prompter().error(failures.join(QLatin1Char('\n')));
        return run;
    }

  private:
    ZipView *view_;
    AppContext &ctx_;
};

} // namespace

ZipView *install_zip_view(AppContext &ctx, QFrame *panel, ZipViewHost host, SortEngine *sort)
{
    auto *view = new ZipView(ctx, std::move(host), panel);
    if (panel->layout())
        panel->layout()->addWidget(view);
    if (sort) {
        auto *source = new ZipSortSource(view, ctx);
        sort->setZipSource(source);
        QObject::connect(source, &QObject::destroyed, sort, [sort] { sort->setZipSource(nullptr); });
    }
    return view;
}

} // namespace vorn
