#include "archives/zip_view.h"

#include "archives/zip_preview_view.h"
#include "base/job.h"
#include "files/file_helpers.h"
#include "files/file_ops.h"
#include "files/view_host.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/panel_status_bar.h"
#include "widgets/text_applier.h"
#include "widgets/theme.h"
#include "widgets/tool_row.h"
#include "widgets/user_place_watcher.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

constexpr int kRowHeight = 17;
constexpr int kWidths[ZcCount] = {180, 55, 55, 35, 90, 450, 0, 0};

} // namespace

ZipView::ZipView(ViewHost &host, QWidget *parent) : QFrame(parent), host_(host), ctx_(host.context())
{
    openOnDesktop_ = [](const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    job_ = new Job(this);
    connect(job_, &Job::progressed, this,
            [this](qint64 done, qint64 total, const QString &) { onProgress(done, total); });
    connect(job_, &Job::finished, this, &ZipView::onJobFinished);
    // The grid stays the sort source until the user works in another place himself (a click,
    // also into a list that has the focus already, or a Tab); a focus the window moves (while a
    // run locks the controls, or when it ends) does not count.
    connect(new UserPlaceWatcher(this), &UserPlaceWatcher::entered, this, [this](QWidget *place) {
        if (QTableWidget *grid = currentGrid(); grid && (place == grid || grid->isAncestorOf(place)))
            sortSource_ = true;
        else if (place != this && !isAncestorOf(place))
            sortSource_ = false;
    });
    setObjectName(QStringLiteral("zipview"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);
    buildToolBar();
    outer->addWidget(toolBar_);

    auto *vertical = new QSplitter(Qt::Vertical, this);
    vertical->setObjectName(QStringLiteral("zipsplit0"));
    auto *split = new QSplitter(Qt::Horizontal, vertical);
    split->setObjectName(QStringLiteral("zipsplit1"));
    archiveWindow_ = new QStackedWidget(split);
    pn_emptyzip_ = new QLabel(archiveWindow_);
    pn_emptyzip_->setObjectName(QStringLiteral("pn_emptyzip"));
    pn_emptyzip_->setAlignment(Qt::AlignCenter);
    pn_emptyzip_->setPixmap(style()->standardIcon(QStyle::SP_DirIcon).pixmap(48));
    pn_emptyzip_->setFrameShape(QFrame::StyledPanel);
    pc_zip_ = new QTabWidget(archiveWindow_);
    pc_zip_->setObjectName(QStringLiteral("pc_zip"));
    archiveWindow_->addWidget(pn_emptyzip_);
    archiveWindow_->addWidget(pc_zip_);
    split->addWidget(archiveWindow_);
    buildSidePanel(split);
    split->setStretchFactor(0, 1);
    split->setCollapsible(0, false);
    vertical->addWidget(split);
    preview_ = new ZipPreviewView(ctx_, vertical);
    vertical->addWidget(preview_);
    vertical->setStretchFactor(0, 3);
    vertical->setStretchFactor(1, 2);
    outer->addWidget(vertical, 1);

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(2);
    stat_zip_ = new PanelStatusBar(QStringLiteral("stat_zip"), {0, 110, 200}, this);
    stat_zip_->setAutoFillBackground(true);
    bottom->addWidget(stat_zip_, 1);
    pb_zip_ = new QProgressBar(this);
    pb_zip_->setObjectName(QStringLiteral("pb_zip"));
    pb_zip_->setMaximumWidth(160);
    pb_zip_->hide();
    bottom->addWidget(pb_zip_);
    bt_zipcancel_ = new QToolButton(this);
    bt_zipcancel_->setObjectName(QStringLiteral("bt_zipcancel"));
    bt_zipcancel_->hide();
    bottom->addWidget(bt_zipcancel_);
    outer->addLayout(bottom);

    connect(pc_zip_, &QTabWidget::currentChanged, this, &ZipView::pc_zipChange);
    connect(preview_, &ZipPreviewView::copyStateChanged, this, &ZipView::update_buttons);
    connect(&ctx_, &AppContext::languageChanged, this, &ZipView::applyTexts);
    connect(&ctx_, &AppContext::viewChanged, this, &ZipView::update_buttons);
    connect(&ctx_, &AppContext::modeChanged, this, &ZipView::update_buttons);
    connect(bt_zipcancel_, &QToolButton::clicked, job_, &Job::cancel);
    host_.addLockout(toolBar_);
    archiveWindow_->setCurrentWidget(pn_emptyzip_);
    side_->hide();
    applyTexts();
    update_buttons();
}

void ZipView::buildToolBar()
{
    // The ZIP bar collapses to its blue title strip like the other context bars.
    auto *bar = new CollapsibleToolBar(QStringLiteral("tbar_zip"), QStringLiteral("lb_contextzip"), this);
    bar->setAutoFillBackground(true);
    toolBar_ = bar;
    QWidget *buttons = add_tool_row(bar, QStringLiteral("fup_zipbuts"), kButtonRowHeight);
    auto *row = static_cast<QHBoxLayout *>(buttons->layout());
    const auto button = [this, row, buttons](const char *name, QStyle::StandardPixmap icon, bool checkable,
                                             void (ZipView::*slot)()) {
        auto *b = new QToolButton(buttons);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(style()->standardIcon(icon));
        b->setCheckable(checkable);
        b->setAutoRaise(true);
        if (slot)
            connect(b, &QToolButton::clicked, this, slot);
        row->addWidget(b);
        return b;
    };
    bt_zipextract_ = button("bt_zipextract", QStyle::SP_ArrowDown, true, &ZipView::bt_zipextractClick);
    bt_zipadd_ = button("bt_zipadd", QStyle::SP_ArrowUp, true, &ZipView::bt_zipaddClick);
    row->addSpacing(8);
    bt_zipopen_ = button("bt_zipopen", QStyle::SP_DialogOpenButton, false, &ZipView::bt_zipopenClick);
    bt_zipaddfile_ =
        button("bt_zipaddfile", QStyle::SP_FileDialogNewFolder, false, &ZipView::bt_zipaddfileClick);
    bt_zipdelete_ = button("bt_zipdelete", QStyle::SP_TrashIcon, false, &ZipView::bt_zipdeleteClick);
    bt_zipstartapp_ = button("bt_zipstartapp", QStyle::SP_MediaPlay, false, &ZipView::bt_zipstartappClick);
    bt_zipclose_ = button("bt_zipclose", QStyle::SP_DialogCloseButton, false, &ZipView::bt_zipcloseClick);
    row->addSpacing(8);
    bt_zipinzip_ = button("bt_zipinzip", QStyle::SP_FileDialogContentsView, true, nullptr);
    bt_ziphtmlsource_ =
        button("bt_ziphtmlsource", QStyle::SP_FileDialogDetailedView, true, &ZipView::bt_ziphtmlsourceClick);
    bt_zipcopytoclipb_ =
        button("bt_zipcopytoclipb", QStyle::SP_DialogSaveButton, false, &ZipView::bt_zipcopytoclipbClick);
    row->addStretch();
}

void ZipView::buildSidePanel(QSplitter *split)
{
    side_ = new QFrame(split);
    side_->setObjectName(QStringLiteral("pn_zipside"));
    side_->setMinimumWidth(220);
    side_->setAutoFillBackground(true);
    auto *col = new QVBoxLayout(side_);
    col->setContentsMargins(2, 2, 2, 2);
    col->setSpacing(2);
    const auto box = [](const char *name, QWidget *parent, QVBoxLayout *lay, bool checked) {
        auto *cb = new QCheckBox(parent);
        cb->setObjectName(QString::fromLatin1(name));
        cb->setChecked(checked);
        lay->addWidget(cb);
        return cb;
    };
    pn_unzipopts_ = new QFrame(side_);
    pn_unzipopts_->setObjectName(QStringLiteral("pn_unzipopts"));
    auto *u = new QVBoxLayout(pn_unzipopts_);
    u->setContentsMargins(0, 0, 0, 0);
    cb_usefolder_ = box("cb_usefolder", pn_unzipopts_, u, true);
    cb_overwrite_ = box("cb_overwrite", pn_unzipopts_, u, false);
    col->addWidget(pn_unzipopts_);

    pn_addopts_ = new QFrame(side_);
    pn_addopts_->setObjectName(QStringLiteral("pn_addopts"));
    auto *a = new QVBoxLayout(pn_addopts_);
    a->setContentsMargins(0, 0, 0, 0);
    cb_selfolder_ = box("cb_selfolder", pn_addopts_, a, false);
    cb_subfolders_ = box("cb_subfolders", pn_addopts_, a, true);
    cb_foldername_ = box("cb_foldername", pn_addopts_, a, true);
    cb_subfolders_->setEnabled(false);
    cb_foldername_->setEnabled(false);
    connect(cb_selfolder_, &QCheckBox::clicked, this, &ZipView::cb_selfolderClick);
    col->addWidget(pn_addopts_);

    pn_unzipdir_ = new QFrame(side_);
    pn_unzipdir_->setObjectName(QStringLiteral("pn_unzipdir"));
    auto *d = new QVBoxLayout(pn_unzipdir_);
    d->setContentsMargins(0, 0, 0, 0);
    lb_zipnametext_ = new QLabel(pn_unzipdir_);
    lb_zipnametext_->setObjectName(QStringLiteral("lb_zipnametext"));
    d->addWidget(lb_zipnametext_);
    lb_zipname_ = new QLineEdit(pn_unzipdir_);
    lb_zipname_->setObjectName(QStringLiteral("lb_zipname"));
    d->addWidget(lb_zipname_);
    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders_->setRootPath(QStringLiteral("/"));
    tv_extractto_ = new QTreeView(pn_unzipdir_);
    tv_extractto_->setObjectName(QStringLiteral("tv_extractto"));
    tv_extractto_->setModel(folders_);
    for (int c = 1; c < folders_->columnCount(); ++c)
        tv_extractto_->hideColumn(c);
    tv_extractto_->setHeaderHidden(true);
    tv_extractto_->setRootIndex(folders_->index(QStringLiteral("/")));
    tv_extractto_->setCurrentIndex(folders_->index(QDir::homePath()));
    tv_extractto_->scrollTo(folders_->index(QDir::homePath()));
    connect(tv_extractto_, &QTreeView::clicked, this, &ZipView::tv_extracttoclick);
    d->addWidget(tv_extractto_, 1);
    pn_extracttotxt_ = new QLabel(pn_unzipdir_);
    pn_extracttotxt_->setObjectName(QStringLiteral("pn_extracttotxt"));
    pn_extracttotxt_->setFrameShape(QFrame::StyledPanel);
    d->addWidget(pn_extracttotxt_);
    bt_extractto_ = new QToolButton(pn_unzipdir_);
    bt_extractto_->setObjectName(QStringLiteral("bt_extractto"));
    bt_extractto_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bt_extractto_->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    bt_extractto_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(bt_extractto_, &QToolButton::clicked, this, &ZipView::bt_extracttoClick);
    d->addWidget(bt_extractto_);
    col->addWidget(pn_unzipdir_, 1);
    split->addWidget(side_);
}

void ZipView::applyTexts()
{
    apply_control_texts(this, ctx_.texts());
    bt_extractto_->setText(ctx_.msg(bt_zipadd_->isChecked() ? Msg::StartZip : Msg::StartUnzip));
    lb_zipnametext_->setText(QStringLiteral("  ") + ctx_.msg(Msg::Filename) + QLatin1Char(':'));
    bt_zipcancel_->setText(ctx_.msg(Msg::ZipCancel));
}

// ---- slots, grids and tabs ----

QTableWidget *ZipView::makeGrid(QWidget *tab, int n)
{
    auto *grid = new QTableWidget(0, ZcCount, tab);
    grid->setObjectName(QStringLiteral("sg_%1").arg(n));
    grid->setProperty("tag", n);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid->verticalHeader()->hide();
    grid->setShowGrid(true);
    grid->setWordWrap(false);
    // the given widths, widened where the font needs more for a title or a time stamp
    const QFontMetrics fm(grid->font());
    const QStringList titles = ctx_.texts().columns(grid->objectName());
    for (int c = 0; c < ZcCount; ++c) {
        int width = kWidths[c];
        if (c < ZcKey)
            width = std::max(width, fm.horizontalAdvance(titles.value(c)) + 16);
        if (c == ZcTime)
            width = std::max(width, fm.horizontalAdvance(QStringLiteral("88.88.88   88:88")) + 28);
        grid->setColumnWidth(c, width);
    }
    grid->hideColumn(ZcKey);
    grid->hideColumn(ZcIndex);
    grid->horizontalHeader()->setSortIndicatorShown(true);
    auto *lay = new QVBoxLayout(tab);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(grid);
    connect(grid, &QTableWidget::itemSelectionChanged, this, [this, grid] {
        if (grid == currentGrid() && grid->hasFocus())
            zipgridclick();
    });
    // a click that leaves the selection as it was starts no run, unless the last one failed
    // for want of the right password
    connect(grid, &QTableWidget::cellClicked, this, [this, grid] {
        if (retryClick_ && grid == currentGrid())
            zipgridclick();
    });
    connect(grid, &QTableWidget::cellDoubleClicked, this, &ZipView::zipgriddblclick);
    grid->installEventFilter(this); // zipgridenter
    return grid;
}

QTableWidget *ZipView::currentGrid() const
{
    return current_ >= 0 && current_ < int(slots_.size()) ? slots_[size_t(current_)].grid : nullptr;
}

ZipSlotEngine *ZipView::currentEngine() const
{
    return current_ >= 0 && current_ < int(slots_.size()) ? slots_[size_t(current_)].engine : nullptr;
}

ZipArchive *ZipView::currentArchive() const
{
    ZipSlotEngine *engine = currentEngine();
    return engine ? &engine->archive : nullptr;
}

bool ZipView::open_archive(const QString &path)
{
    if (path.isEmpty())
        return false;
    clear_preview();
    const int n = ++lastSlot_;
    Slot slot;
    slot.engine = new ZipSlotEngine(this);
    slot.engine->setObjectName(QStringLiteral("zip_%1").arg(n));
    const bool read = slot.engine->archive.open(path);
    slot.tab = new QWidget;
    slot.tab->setObjectName(QStringLiteral("tab_%1").arg(n));
    slot.grid = makeGrid(slot.tab, n);
    slots_.resize(size_t(n) + 1);
    slots_[size_t(n)] = slot;
    current_ = n;
    if (read)
        fill_grid();
    if (read && slot.grid->rowCount() > 0) {
        archiveWindow_->setCurrentWidget(pc_zip_);
        const QSignalBlocker block(pc_zip_);
        pc_zip_->addTab(slot.tab, QFileInfo(path).fileName());
        pc_zip_->setCurrentWidget(slot.tab);
        openList_ << path;
        setStatusAfterOpen();
        update_buttons();
        return true;
    }
    const ZipProblem error = slot.engine->archive.openError();
    drop_slot(n);
    current_ = lastSlot_ >= 0 ? pc_zip_->currentIndex() : -1;
    if (lastSlot_ < 0)
        archiveWindow_->setCurrentWidget(pn_emptyzip_);
    update_buttons();
    ctx_.prompter().message(read ? ctx_.msg(Msg::ZipNoEntries) : zip_problem_text(error, ctx_.texts()),
                            Answer::Ok, read ? PromptIcon::Information : PromptIcon::Error);
    return false;
}

void ZipView::setStatusAfterOpen()
{
    ZipArchive *zip = currentArchive();
    QTableWidget *grid = currentGrid();
    stat_zip_->setPanelText(0, zip ? zip->path() : QString());
    stat_zip_->setPanelText(1, QString::number(grid ? grid->rowCount() : 0) + ctx_.msg(Msg::FilesSuffix));
    stat_zip_->setPanelText(2, grid && grid->rowCount() > 0 ? grid->item(0, ZcKey)->text() : QString());
}

void ZipView::fill_grid()
{
    QTableWidget *grid = currentGrid();
    ZipArchive *zip = currentArchive();
    if (!grid || !zip)
        return;
    clear_preview();
    const QList<QStringList> rows = zip_grid_rows(zip->entries(), ctx_.language());
    const std::vector<ZipEntry> &entries = zip->entries();
    grid->setSortingEnabled(false);
    grid->clearContents();
    grid->setRowCount(int(rows.size()));
    const QStringList titles = ctx_.texts().columns(grid->objectName());
    grid->setHorizontalHeaderLabels(titles + QStringList{QString()});
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < ZcCount; ++c) {
            auto *item = new QTableWidgetItem;
            if (c == ZcPacked || c == ZcSize)
                item->setData(Qt::DisplayRole, rows[r][c].toLongLong()); // sorts by number
            else
                item->setText(rows[r][c]);
            if (c == ZcName) // the stored file name, in its own case: the name of the copy in zip_dir
                item->setData(Qt::UserRole, entries[rows[r][ZcIndex].toULongLong()]
                                                .name.section(QLatin1Char('/'), -1)
                                                .section(QLatin1Char('\\'), -1));
            grid->setItem(r, c, item);
        }
    }
    grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    grid->setSortingEnabled(true);
    stat_zip_->setPanelText(1, QString::number(rows.size()) + ctx_.msg(Msg::FilesSuffix));
    update_buttons();
}

void ZipView::drop_slot(int n)
{
    if (n < 0 || n >= int(slots_.size()))
        return;
    Slot &s = slots_[size_t(n)];
    if (s.tab) {
        const int i = pc_zip_->indexOf(s.tab);
        if (i >= 0) {
            const QSignalBlocker block(pc_zip_);
            pc_zip_->removeTab(i);
        }
    }
    delete s.tab; // and the grid on it
    delete s.engine;
    s = Slot();
    if (n == lastSlot_) {
        --lastSlot_;
        slots_.resize(size_t(lastSlot_ + 1));
    }
}

void ZipView::close_all()
{
    clear_preview();
    for (int i = lastSlot_; i >= 0; --i)
        drop_slot(i);
    lastSlot_ = -1;
    current_ = -1;
    slots_.clear();
    clear_folder(ctx_.paths().zipDir, ctx_.drives());
    openList_.clear();
    archiveWindow_->setCurrentWidget(pn_emptyzip_);
    update_buttons();
    for (int i = 0; i < 3; ++i)
        stat_zip_->setPanelText(i, QString());
}

void ZipView::showFile(const QString &path)
{
    close_all();
    open_archive(path);
}

void ZipView::clear_preview()
{
    preview_->clear();
    stat_zip_->setPanelText(2, QString());
    lock_ = false;
}

bool ZipView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn && watched == currentGrid()) {
        sortSource_ = true;
        emit sortSourceEntered();
    }
    return QFrame::eventFilter(watched, event);
}

void ZipView::pc_zipChange(int index)
{
    current_ = index;
    emit sortSourceEntered();
    clear_preview();
    ZipArchive *zip = currentArchive();
    stat_zip_->setPanelText(0, zip ? zip->path() : QString());
    stat_zip_->setPanelText(1, QString::number(currentGrid() ? currentGrid()->rowCount() : 0) +
                                   ctx_.msg(Msg::FilesSuffix));
    update_buttons();
}

void ZipView::update_buttons()
{
    ZipButtonInput in;
    in.zipMode = ctx_.mode() == ViewMode::Zip;
    in.extractMode = bt_zipextract_->isChecked();
    in.packMode = bt_zipadd_->isChecked();
    in.lock = lock_;
    in.lastSlot = lastSlot_;
    in.hasCurrent = currentArchive() != nullptr;
    in.pictureMode = ctx_.mode() == ViewMode::Pictures;
    in.canCopy = preview_->canCopy();
    const ZipButtonStates s = zip_button_states(in);
    bt_zipadd_->setEnabled(s.add);
    bt_zipextract_->setEnabled(s.extract);
    bt_zipopen_->setEnabled(s.open);
    bt_extractto_->setEnabled(s.extractTo);
    bt_zipaddfile_->setEnabled(s.addFile);
    bt_zipdelete_->setEnabled(s.remove);
    bt_zipstartapp_->setEnabled(s.startApp);
    bt_zipclose_->setEnabled(s.close);
    bt_zipinzip_->setEnabled(s.zipInZip);
    bt_ziphtmlsource_->setEnabled(s.htmlSource);
    bt_zipcopytoclipb_->setEnabled(s.copy);
}

// ---- modes and target ----

void ZipView::bt_zipopenClick()
{
    static QString startDir = QDir::homePath();
    const QString file = ctx_.prompter().openFileName(ctx_.msg(Msg::OpenZipfile), startDir,
                                                      ctx_.msg(Msg::ZipFilter) + QStringLiteral(" (*.zip)"));
    if (file.isEmpty())
        return;
    close_all();
    startDir = QFileInfo(file).absolutePath();
    // Locked only when an archive opened: a failed open leaves nothing to close.
    lock_ = open_archive(file);
    update_buttons();
}

void ZipView::bt_zipcloseClick()
{
    lock_ = false;
    close_all();
}

void ZipView::setMode(bool extract, bool pack)
{
    pn_unzipopts_->setVisible(extract);
    pn_addopts_->setVisible(pack);
    side_->setVisible(extract || pack);
    bt_extractto_->setText(ctx_.msg(pack ? Msg::StartZip : Msg::StartUnzip));
    lb_zipnametext_->setEnabled(pack);
    lb_zipname_->setEnabled(pack);
    lb_zipname_->setReadOnly(!pack);
    if (extract)
        lb_zipname_->setText(targetFolder_);
    if (pack)
        lb_zipname_->setFocus();
    if (!extract && !pack)
        close_all();
    update_buttons();
}

void ZipView::bt_zipextractClick()
{
    setMode(bt_zipextract_->isChecked(), false);
}

void ZipView::bt_zipaddClick()
{
    setMode(false, bt_zipadd_->isChecked());
}

void ZipView::setTargetFolder(const QString &folder)
{
    pn_extracttotxt_->setText(folder);
    targetFolder_ = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    lb_zipname_->setText(targetFolder_);
    if (bt_zipadd_->isChecked())
        lb_zipname_->setFocus();
    update_buttons();
}

void ZipView::tv_extracttoclick(const QModelIndex &index)
{
    setTargetFolder(folders_->filePath(index));
}

void ZipView::cb_selfolderClick()
{
    cb_subfolders_->setEnabled(cb_selfolder_->isChecked());
    cb_foldername_->setEnabled(cb_selfolder_->isChecked());
}

} // namespace vorn
