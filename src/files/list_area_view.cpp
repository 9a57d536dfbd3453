#include "files/list_area_view.h"

#include "base/job.h"
#include "files/file_attributes.h"
#include "files/file_helpers.h"
#include "files/file_ops.h"
#include "files/masks.h"
#include "files/name_rules.h"
#include "widgets/progress_panel.h"

#include <QApplication>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSplitter>
#include <QStorageInfo>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <cerrno>

namespace vorn
{

namespace
{

QLabel *infoLabel(const char *name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setTextFormat(Qt::PlainText);
    l->setContentsMargins(3, 0, 3, 0);
    l->setMinimumWidth(10);
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    return l;
}

} // namespace

// A list for the other views: the list of the tab in front, or one list for good.
class ListAreaView::Facade : public ActiveList
{
  public:
    enum class Which { Front, Folder, Search };
    Facade(ListAreaView &area, Which which) : ActiveList(&area), area_(area), which_(which) {}

    FileListView *list() const
    {
        switch (which_) {
        case Which::Folder:
            return area_.lv_;
        case Which::Search:
            return area_.lvscan_;
        case Which::Front:
            break;
        }
        return area_.activeList();
    }
    int count() const override { return list()->count(); }
    QList<int> selectedRows() const override { return list()->selectedRows(); }
    int currentRow() const override { return list()->currentRow(); }
    bool hasFocusItem() const override { return list()->currentIndex().isValid(); }
    QString path(int row) const override
    {
        return row >= 0 && row < count() ? list()->fileModel()->entry(row).fullPath() : QString();
    }
    bool hasFocus() const override { return list()->window()->focusWidget() == list(); }
    bool isShown() const override { return list()->isVisible() && list()->isEnabled(); }
    void takeFocus() override { list()->setFocus(Qt::OtherFocusReason); }
    void select(int row, bool show) override
    {
        FileListView *l = list();
        if (row < 0 || row >= l->count())
            return;
        l->selectRow(row);
        if (show)
            area_.lvclick();
    }
    void activate() override { area_.lvclick(); }
    void deselect() override { list()->clearSelection(); }
    void selectMore(const QList<int> &rows) override
    {
        FileListView *l = list();
        const FileListModel *model = l->fileModel();
        QItemSelection more;
        for (int r : rows)
            if (r >= 0 && r < model->rowCount())
                more.select(model->index(r, 0), model->index(r, model->columnCount() - 1));
        l->selectionModel()->select(more, QItemSelectionModel::Select);
    }
    void removeRows(const QList<int> &rows) override { list()->fileModel()->removeEntries(rows); }
    void refreshFromDisk() override
    {
        // The list in front: the catalog tab has no file list to refresh.
        if (which_ == Which::Front && area_.ctx_.listTab() == ListTab::Catalog)
            return;
        FileListView *l = list();
        if (l == area_.lv_) {
            area_.relist();
            return;
        }
        QList<int> gone;
        for (int row = 0; row < l->count(); ++row)
            if (file_size(l->fileModel()->entry(row).fullPath()) < 0)
                gone << row;
        l->fileModel()->removeEntries(gone);
        area_.updateReadout();
    }
    void updateReadout() override { area_.updateReadout(); }
    void clear() override { list()->fileModel()->clear(); }
    void append(const QStringList &paths) override
    {
        QList<FileEntry> entries;
        entries.reserve(paths.size());
        for (const QString &path : paths) {
            const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
            entries.append(FileEntry{path.mid(slash + 1), path.left(slash + 1), -1});
        }
        list()->fileModel()->append(entries);
    }
    void bringToFront() override
    {
        if (which_ != Which::Front)
            area_.pc_list_->setCurrentWidget(which_ == Which::Folder ? area_.tab_folder_ : area_.tab_scan_);
    }
    void setFoundText(const QString &text) override { area_.setScanCountText(text); }
    void updateButtons() override { area_.updateListButtons(); }

  private:
    ListAreaView &area_;
    Which which_;
};

ListAreaView::ListAreaView(AppContext &ctx, int rowHeight, QWidget *parent) : QFrame(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("pn_tablist"));
    active_ = new Facade(*this, Facade::Which::Front);
    folderFacade_ = new Facade(*this, Facade::Which::Folder);
    searchFacade_ = new Facade(*this, Facade::Which::Search);
    for (ActiveList *facade : {active_, folderFacade_, searchFacade_})
        connect(this, &ListAreaView::listChanged, facade, &ActiveList::changed);
    trashJob_ = new Job(this);
    connect(trashJob_, &Job::finished, this, &ListAreaView::trashFinished);
    setAutoFillBackground(true);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(1);
    pc_list_ = new QTabWidget(this);
    pc_list_->setObjectName(QStringLiteral("pc_list"));
    pc_list_->setDocumentMode(true);
    lay->addWidget(pc_list_, 1);
    buildFolderTab();
    buildScanTab();
    tab_catalog_ = new QWidget;
    tab_catalog_->setObjectName(QStringLiteral("tab_catalog"));
    new QVBoxLayout(tab_catalog_);
    tab_catalog_->layout()->setContentsMargins(0, 0, 0, 0);
    pc_list_->addTab(tab_folder_, QStringLiteral("Ordner"));
    pc_list_->addTab(tab_scan_, QStringLiteral("Suchliste"));
    pc_list_->addTab(tab_catalog_, QStringLiteral("Katalog"));
    connect(pc_list_, &QTabWidget::currentChanged, this, [this] {
        QWidget *tab = pc_list_->currentWidget();
        emit tabChanged(tab == tab_scan_      ? ListTab::Scan
                        : tab == tab_catalog_ ? ListTab::Catalog
                                              : ListTab::Folder);
    });
    buildButtons(rowHeight);

    for (FileListView *l : {lv_, lvscan_}) {
        l->setKeySteppingSource(ctx_.keySteppingSource());
        connect(l, &FileListView::itemClicked, this, &ListAreaView::lvclick);
        connect(l, &FileListView::navigated, this, &ListAreaView::onNavigated);
        connect(l, &FileListView::positionChanged, this, &ListAreaView::updateReadout);
        connect(l, &FileListView::deleteRequested, this, &ListAreaView::bt_trashmainClick);
        connect(l->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &ListAreaView::updateListButtons);
    }
    connect(lvModel_, &FileListModel::renameRequested, this, &ListAreaView::onRenameRequested);
    connect(lvModel_, &FileListModel::listed, this, [this] {
        updateReadout();
        emit listChanged();
    });
    connect(lvModel_, &FileListModel::listed, active_, &ActiveList::folderListed);
    connect(&ctx_, &AppContext::filterChanged, this, &ListAreaView::followFilter);
}

// A new filter: the views let go, the folder is listed through it.
void ListAreaView::followFilter()
{
    emit releaseViews();
    if (ctx_.mode() == ViewMode::Pictures)
        refresh_folder_view();
    else
        relist();
    updateListButtons();
}

void ListAreaView::showCatalogTab()
{
    pc_list_->setCurrentWidget(tab_catalog_);
}

void ListAreaView::buildFolderTab()
{
    tab_folder_ = new QWidget;
    tab_folder_->setObjectName(QStringLiteral("tab_folder"));
    auto *lay = new QVBoxLayout(tab_folder_);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(1);

    pn_treelist_ = new QSplitter(Qt::Vertical, tab_folder_);
    pn_treelist_->setObjectName(QStringLiteral("pn_treelist"));
    pn_treelist_->setChildrenCollapsible(false);

    dirs_ = new QFileSystemModel(this);
    dirs_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    dirs_->setReadOnly(true);
    dirs_->setRootPath(QStringLiteral("/"));
    tv_ = new QTreeView(pn_treelist_);
    tv_->setObjectName(QStringLiteral("tv"));
    tv_->setModel(dirs_);
    tv_->setRootIndex(dirs_->index(QStringLiteral("/")));
    for (int c = 1; c < dirs_->columnCount(); ++c)
        tv_->hideColumn(c);
    tv_->setHeaderHidden(true);
    tv_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tv_->setUniformRowHeights(true);
    connect(tv_, &QTreeView::clicked, this, &ListAreaView::tvclick);
    connect(tv_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &cur) {
                if (cur.isValid() && QApplication::mouseButtons() == Qt::NoButton)
                    tvclick(cur);
            });

    lvModel_ = new FileListModel(this);
    lv_ = new FileListView(QStringLiteral("lv"), lvModel_, pn_treelist_);
    lv_->hideColumn(FileListModel::FolderColumn);
    pn_treelist_->addWidget(tv_);
    pn_treelist_->addWidget(lv_);
    pn_treelist_->setSizes({1, 1});

    pno_dir_ = infoLabel("pno_dir", tab_folder_);
    auto *row = new QHBoxLayout;
    row->setSpacing(1);
    pn_lwchar_ = infoLabel("pn_lwchar", tab_folder_);
    pn_lwchar_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    pn_lwchar_->setMaximumWidth(90);
    pno_nr_ = infoLabel("pno_nr", tab_folder_);
    row->addWidget(pn_lwchar_);
    row->addWidget(pno_nr_, 1);
    lay->addWidget(pn_treelist_, 1);
    lay->addWidget(pno_dir_);
    lay->addLayout(row);
}

void ListAreaView::buildScanTab()
{
    tab_scan_ = new QWidget;
    tab_scan_->setObjectName(QStringLiteral("tab_scan"));
    auto *lay = new QVBoxLayout(tab_scan_);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(1);
    scanModel_ = new FileListModel(this);
    lvscan_ = new FileListView(QStringLiteral("lvscan"), scanModel_, tab_scan_);
    lvscan_->header()->resizeSection(0, 140);
    pns_nr_ = infoLabel("pns_nr", tab_scan_);
    lay->addWidget(lvscan_, 1);
    lay->addWidget(pns_nr_);
}

void ListAreaView::buildButtons(int rowHeight)
{
    auto *row = new QWidget(this);
    row->setObjectName(QStringLiteral("fup_listbuts"));
    row->setFixedHeight(rowHeight + 2);
    auto *lay = new QHBoxLayout(row);
    lay->setContentsMargins(1, 1, 1, 1);
    lay->setSpacing(1);
    QStyle *st = style();
    const struct {
        const char *name;
        QStyle::StandardPixmap icon;
        bool checkable;
    } buttons[] = {
        {"bt_editliste", QStyle::SP_FileDialogContentsView, true},
        {"bt_trashmain", QStyle::SP_TrashIcon, false},
        {"bt_startscan", QStyle::SP_FileDialogStart, false},
        {"bt_clearscan", QStyle::SP_DialogResetButton, false},
        {"bt_deleteitem", QStyle::SP_DialogDiscardButton, false},
        {"bt_dirhide", QStyle::SP_ArrowLeft, false},
    };
    for (const auto &b : buttons) {
        auto *tb = new QToolButton(row);
        tb->setObjectName(QString::fromLatin1(b.name));
        tb->setIcon(st->standardIcon(b.icon));
        tb->setCheckable(b.checkable);
        tb->setAutoRaise(true);
        tb->setFixedSize(rowHeight + 3, rowHeight);
        lay->addWidget(tb);
    }
    lay->addStretch(1);
    layout()->addWidget(row);
    connect(button("bt_editliste"), &QToolButton::clicked, this, &ListAreaView::bt_editlisteClick);
    connect(button("bt_trashmain"), &QToolButton::clicked, this, &ListAreaView::bt_trashmainClick);
    connect(button("bt_deleteitem"), &QToolButton::clicked, this, &ListAreaView::bt_deleteitemClick);
    connect(button("bt_dirhide"), &QToolButton::clicked, this, &ListAreaView::hideRequested);
    connect(button("bt_startscan"), &QToolButton::clicked, this, &ListAreaView::startScanClicked);
    connect(button("bt_clearscan"), &QToolButton::clicked, this, &ListAreaView::bt_clearscanclick);
}

QToolButton *ListAreaView::button(const char *name) const
{
    return findChild<QToolButton *>(QString::fromLatin1(name));
}

ActiveList &ListAreaView::active() const
{
    return *active_;
}

ActiveList &ListAreaView::folderFacade() const
{
    return *folderFacade_;
}

ActiveList &ListAreaView::searchFacade() const
{
    return *searchFacade_;
}

FileListView *ListAreaView::activeList() const
{
    return ctx_.listTab() == ListTab::Scan ? lvscan_ : lv_;
}

void ListAreaView::openFolder(const QString &path)
{
    if (!startFolder_ && leaveCheck_ && !leaveCheck_())
        return; // the user stays with unsaved edits
    const QModelIndex i = dirs_->index(QDir::cleanPath(path));
    if (i.isValid()) {
        for (QModelIndex p = i.parent(); p.isValid(); p = p.parent())
            tv_->expand(p);
        tv_->setCurrentIndex(i);
        tv_->scrollTo(i);
        // The model reads folders in the background: expand the way down as each level
        // arrives, until the folder's own parent is in.
        const QString target = QDir::cleanPath(path);
        const QString parentPath = QFileInfo(target).absolutePath();
        auto *conn = new QMetaObject::Connection;
        *conn = connect(dirs_, &QFileSystemModel::directoryLoaded, this,
                        [this, conn, target, parentPath](const QString &loaded) {
                            const QModelIndex t = dirs_->index(target);
                            if (!t.isValid() || tv_->currentIndex() != t) {
                                disconnect(*conn);
                                delete conn;
                                return;
                            }
                            for (QModelIndex p = t.parent(); p.isValid(); p = p.parent())
                                tv_->expand(p);
                            tv_->scrollTo(t, QAbstractItemView::PositionAtCenter);
                            if (QDir::cleanPath(loaded) == parentPath) {
                                disconnect(*conn);
                                delete conn;
                            }
                        });
    }
    if (!startFolder_)
        scanRoot_ = with_trailing_slash(QDir::cleanPath(path));
    listedFolder_ = with_trailing_slash(QDir::cleanPath(path));
    tvclick(i);
}

void ListAreaView::showStartFolder(const QString &path)
{
    const QScopedValueRollback<bool> quiet(startFolder_, true);
    openFolder(path);
}

void ListAreaView::scrollWheelTarget(int steps)
{
    QAbstractItemView *t = wheelTarget_ ? wheelTarget_ : activeList();
    QScrollBar *bar = t->verticalScrollBar();
    bar->setValue(bar->value() + steps * bar->pageStep());
}

void ListAreaView::tvclick(const QModelIndex &index)
{
    if (restoring_)
        return;
    // Opening a folder empties the text view: unsaved edits are asked about first; Cancel
    // keeps the folder that is listed, selected in the tree.
    if (!startFolder_ && leaveCheck_ && !leaveCheck_()) {
        const QModelIndex listed = dirs_->index(QDir::cleanPath(listedFolder_));
        if (listed.isValid() && tv_->currentIndex() != listed) {
            const QScopedValueRollback<bool> quiet(restoring_, true);
            tv_->setCurrentIndex(listed);
        }
        return;
    }
    wheelTarget_ = tv_;
    if (index.isValid()) {
        listedFolder_ = with_trailing_slash(dirs_->filePath(index));
        if (!startFolder_)
            scanRoot_ = listedFolder_;
    }
    refresh_folder_view();
    pno_dir_->setText(listedFolder_);
    pn_lwchar_->setText(QStorageInfo(listedFolder_).rootPath());
}

void ListAreaView::refresh_folder_view()
{
    if (pc_list_->currentWidget() != tab_folder_)
        pc_list_->setCurrentWidget(tab_folder_);
    // A listing anew (a new filter too) empties the text view, which keeps unsaved edits
    // that the user chose to keep.
    if (leaveCheck_)
        leaveCheck_();
    emit releaseViews();
    relist();
}

void ListAreaView::relist()
{
    if (listedFolder_.isEmpty())
        return;
    const QStringList patterns = parse_patterns(ctx_.filter().mask, true, false);
    lvModel_->setFolder(listedFolder_, [patterns](const QString &lowerName) {
        return matches_any(lowerName, patterns, false);
    });
}

void ListAreaView::lvclick()
{
    FileListView *list = activeList();
    wheelTarget_ = list;
    if (list->isEditingName())
        return;
    const QList<int> selected = list->selectedRows();
    if (list->count() > 0 && selected.size() != 1) {
        updateReadout();
        return; // a multiple selection is not routed
    }
    if (selected.size() == 1) {
        const FileEntry &e = list->fileModel()->entry(selected.first());
        editPath_ = e.fullPath();
        // Looking at a file leaves its attributes alone: resetting them here would strip
        // the read-only and hidden flags from every file the user clicks.
        list->scrollTo(list->fileModel()->index(selected.first(), 0));
        updateReadout();
        requestShow(list, editPath_);
    } else {
        updateReadout();
    }
}

void ListAreaView::onNavigated(int row)
{
    FileListView *list = activeList();
    if (row < 0 || row >= list->count())
        return;
    const QString path = list->fileModel()->entry(row).fullPath();
    requestShow(list, path);
    if (path == shownPath_)
        list->selectRow(row);
    updateReadout();
}

void ListAreaView::requestShow(FileListView *list, const QString &path)
{
    refused_ = false;
    emit showFileRequested(path);
    if (!refused_) {
        shownPath_ = path;
        return;
    }
    // Stay where the user was: the file shown before is the selected one again.
    refused_ = false;
    for (int r = 0; r < list->count(); ++r)
        if (list->fileModel()->entry(r).fullPath() == shownPath_) {
            list->selectRow(r);
            break;
        }
    updateReadout();
}

QString ListAreaView::positionText(const FileListView *list) const
{
    const QList<int> rows = list->selectedRows();
    const int n = list->count();
    int number = 0;
    if (!rows.isEmpty()) {
        const int cur = list->currentRow();
        number = (rows.contains(cur) ? cur : rows.first()) + 1;
    }
    return ctx_.msg(Msg::File) + QString::number(number) + ctx_.msg(Msg::Of) + QString::number(n);
}

void ListAreaView::updateReadout()
{
    FileListView *list = activeList();
    Selection s;
    s.count = list->count();
    const QList<int> rows = list->selectedRows();
    if (!rows.isEmpty()) {
        const int cur = list->currentRow();
        const int row = rows.contains(cur) ? cur : rows.first();
        const FileEntry &e = list->fileModel()->entry(row);
        s.name = e.name.toLower();
        s.folder = e.folder.toLower();
        s.fullPath = e.fullPath().toLower();
        const qsizetype dot = s.name.lastIndexOf(QLatin1Char('.'));
        s.extension = dot < 0 ? QString() : s.name.mid(dot);
        s.sizeText = QString::number(file_size(e.fullPath())) + QStringLiteral(" Bytes");
        s.selected = row + 1;
        s.exactPath = e.fullPath();
    }
    s.selectedCount = int(rows.size());
    ctx_.setSelection(s);
    // The full path of the selected file as the hint of the labels under the lists.
    for (QLabel *l : {pno_dir_, pno_nr_, pns_nr_})
        l->setToolTip(s.exactPath.isEmpty() ? (l == pno_dir_ ? listedFolder_ : QString())
                                            : shown_name(s.exactPath));
    // A multiple selection leaves the position text as it was.
    if (rows.size() <= 1)
        (list == lv_ ? pno_nr_ : pns_nr_)->setText(positionText(list));
    updateListButtons();
}

void ListAreaView::setScanCountText(const QString &text)
{
    pns_nr_->setText(text);
}

void ListAreaView::updateListButtons()
{
    FileListView *list = activeList();
    const int selected = list->selectedCount();
    const bool scanTab = ctx_.listTab() == ListTab::Scan;
    button("bt_clearscan")->setEnabled(scanTab && lvscan_->count() > 0);
    button("bt_startscan")->setEnabled(ctx_.listTab() == ListTab::Folder);
    button("bt_trashmain")->setEnabled(selected > 0);
    button("bt_deleteitem")->setEnabled(lvscan_->selectedCount() == 1);
    button("bt_editliste")->setEnabled(ctx_.listTab() == ListTab::Folder);
    emit listChanged();
}

void ListAreaView::setListsEnabled(bool on)
{
    for (const char *n : {"bt_startscan", "bt_clearscan", "bt_dirhide", "bt_trashmain"})
        button(n)->setEnabled(on);
    pc_list_->setEnabled(on);
    tv_->setEnabled(on);
    lv_->setEnabled(on);
    lvscan_->setEnabled(on);
    if (on)
        updateListButtons();
}

void ListAreaView::bt_editlisteClick()
{
    FileListView *list = lv_;
    const int row = list->currentRow();
    lvModel_->setEditable(button("bt_editliste")->isChecked());
    // The row in hand stays selected, ready for its name to be edited.
    if (row >= 0)
        list->selectRow(row);
}

void ListAreaView::onRenameRequested(int row, const QString &newName)
{
    const FileEntry e = lvModel_->entry(row);
    const QString oldPath = e.fullPath();
    if (is_read_only(oldPath)) {
        ctx_.prompter().error(oldPath + QStringLiteral("\r\n\r\n") + ctx_.msg(Msg::FileReadOnly));
        return;
    }
    if (!validate_new_name(newName, oldPath, ctx_))
        return; // the item keeps its old name
    const FileOpResult r = FileOps::rename_no_replace(oldPath, e.folder + newName);
    if (!r.ok) {
        // The list shows what is on disk: the old name stays, and the user learns why.
        ctx_.prompter().error(ctx_.msg(Msg::File) + shown_name(e.name) + QStringLiteral(": ") +
                              r.errorText(ctx_.language()));
        return;
    }
    lvModel_->setEntryName(row, newName);
    lv_->selectRow(row);
    lvclick();
}

namespace
{
// What a trash run did: the indexes (into the rows it was given) of the files that went, and
// "name: reason" for those that stayed.
struct TrashOutcome {
    QList<int> gone;
    QStringList failures;
};
} // namespace

void ListAreaView::bt_trashmainClick()
{
    if (isBusy())
        return;
    FileListView *list = activeList();
    const QString folder = list == lv_ ? listedFolder_ : QString();
    const QList<int> rows = list->selectedRows();
    if (rows.isEmpty())
        return;
    const QString probe = folder.isEmpty() ? list->fileModel()->entry(rows.first()).folder : folder;
    if (ctx_.drives().is_cdrom_drive(probe)) {
        ctx_.prompter().error(ctx_.msg(Msg::CdromNoDelete));
        return;
    }
    if (ctx_.listTab() == ListTab::Catalog)
        return;
    QList<FileEntry> entries;
    for (int r : rows)
        entries << list->fileModel()->entry(r);
    trashList_ = list;
    trashRows_ = rows;
    if (panel_)
        panel_->begin(ctx_.msg(Msg::WorkTrashing), ctx_.msg(Msg::WorkCancel));
    trashJob_->start([entries, trash = ctx_.paths().trashDir, language = ctx_.language()](JobToken &t) {
        FileOps ops(trash);
        const FileOpProgress progress = [&t](qint64, qint64) { return !t.cancelled(); };
        TrashOutcome out;
        for (int i = 0; i < entries.size() && t.checkpoint(); ++i) {
            const FileEntry &e = entries[i];
            t.progress(i, entries.size(), shown_name(e.name));
            const FileOpResult res = ops.delete_to_trash(e.fullPath(), progress);
            if (res.ok)
                out.gone << i;
            else if (!(res.errorCode == ECANCELED && t.cancelled()))
                out.failures << shown_name(e.name) + QStringLiteral(": ") + res.errorText(language);
        }
        return out;
    });
}

bool ListAreaView::isBusy() const
{
    return trashJob_->isRunning();
}

void ListAreaView::setProgressPanel(ProgressPanel *panel)
{
    panel_ = panel;
    connect(panel_, &ProgressPanel::cancelClicked, trashJob_, &Job::cancel);
    connect(trashJob_, &Job::progressed, panel_, &ProgressPanel::setProgress);
}

void ListAreaView::trashFinished()
{
    if (panel_)
        panel_->end();
    const TrashOutcome out = trashJob_->hasResult() ? trashJob_->result<TrashOutcome>() : TrashOutcome();
    FileListView *list = trashList_;
    if (!list)
        return;
    const int lastSelected = trashRows_.isEmpty() ? 0 : trashRows_.last();
    // Only the files that really went leave the list.
    QList<int> gone;
    for (int i : out.gone)
        gone << trashRows_.value(i);
    list->fileModel()->removeEntries(gone);
    trashRows_.clear();
    if (!out.failures.isEmpty())
        ctx_.prompter().listMessage(ctx_.msg(Msg::TrashFailures), out.failures, PromptIcon::Error);
    if (list->count() == 0) {
        emit releaseViews();
        updateReadout();
        return;
    }
    int next = lastSelected;
    next = qMin(next, list->count() - 1);
    list->selectRow(next);
    lvclick();
}

void ListAreaView::bt_deleteitemClick()
{
    const QList<int> rows = lvscan_->selectedRows();
    if (rows.size() != 1)
        return;
    scanModel_->removeEntries(rows);
    updateReadout();
}

void ListAreaView::bt_clearscanclick()
{
    emit releaseViews();
    scanModel_->clear();
    // The read-out of the emptied list (which also disables the slideshow buttons), then the
    // count text and the scan buttons of an idle search: start enabled, clear disabled.
    updateReadout();
    setScanCountText(QString());
    button("bt_startscan")->setEnabled(true);
    button("bt_clearscan")->setEnabled(false);
}

void ListAreaView::applyTexts()
{
    pno_nr_->setText(positionText(lv_));
    if (!pns_nr_->text().isEmpty())
        pns_nr_->setText(positionText(lvscan_));
}

} // namespace vorn
