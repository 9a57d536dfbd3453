#include "sorting/sort_config_view.h"
#include "files/grid_report.h"

#include "base/grid_text.h"
#include "files/active_list.h"
#include "files/file_helpers.h"
#include "files/file_ops.h"
#include "sorting/sort_engine.h"
#include "sorting/sort_layout.h"
#include "widgets/gradient_button.h"
#include "widgets/panel_status_bar.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeView>

namespace vorn
{

namespace
{

const QString kButtonPrefix = QStringLiteral("sts_");

QString keyHint(int k)
{
    if (k < 1 || k > 10)
        return {};
    return QKeySequence(Qt::ALT | Qt::Key(Qt::Key_0 + k % 10)).toString(QKeySequence::NativeText);
}

} // namespace

SortConfigView::SortConfigView(AppContext &ctx, ActiveList &list, SortEngine &engine, PanelStatusBar &status,
                               QFileSystemModel *dirs, QHBoxLayout *buttonRow, int rowHeight, QWidget *parent)
    : QStackedWidget(parent), ctx_(ctx), list_(list), engine_(engine), status_(status), row_(buttonRow)
{
    setObjectName(QStringLiteral("pn_sortbuttons"));

    // The command buttons of the sort bar.
    QToolButton *config = addCommand("bt_configsort", QStyle::SP_FileDialogDetailedView, true, rowHeight);
    row_->addSpacing(6);
    addCommand("bt_newbut", QStyle::SP_FileDialogNewFolder, false, rowHeight);
    addCommand("bt_buttondelete", QStyle::SP_DialogDiscardButton, false, rowHeight);
    addCommand("bt_clearsort", QStyle::SP_DialogResetButton, false, rowHeight);
    addCommand("bt_loadsort", QStyle::SP_DialogOpenButton, false, rowHeight);
    addCommand("bt_savesort", QStyle::SP_DialogSaveButton, false, rowHeight);
    row_->addSpacing(6);
    addCommand("bt_newdir", QStyle::SP_FileDialogNewFolder, false, rowHeight);
    addCommand("bt_dirdelete", QStyle::SP_TrashIcon, false, rowHeight);
    connect(config, &QToolButton::toggled, this, &SortConfigView::bt_sortconfigClick);
    const struct {
        const char *name;
        void (SortConfigView::*slot)();
    } commands[] = {{"bt_newbut", &SortConfigView::bt_newbutClick},
                    {"bt_buttondelete", &SortConfigView::bt_buttondeleteClick},
                    {"bt_clearsort", &SortConfigView::bt_clearsortClick},
                    {"bt_loadsort", &SortConfigView::bt_loadsortClick},
                    {"bt_savesort", &SortConfigView::bt_savesortClick},
                    {"bt_newdir", &SortConfigView::bt_newdirClick},
                    {"bt_dirdelete", &SortConfigView::bt_dirdeleteClick}};
    for (const auto &c : commands)
        connect(command(c.name), &QToolButton::clicked, this, c.slot);

    // The sort buttons in their scroll box.
    pn_sbsort_ = new QWidget(this);
    pn_sbsort_->setObjectName(QStringLiteral("pn_sbsort"));
    auto *sbLay = new QHBoxLayout(pn_sbsort_);
    sbLay->setContentsMargins(0, 0, 0, 0);
    sb_sort_ = new QScrollArea(pn_sbsort_);
    sb_sort_->setObjectName(QStringLiteral("sb_sort"));
    sb_sort_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sb_sort_->setFrameShape(QFrame::StyledPanel);
    sortArea_ = new QWidget;
    sortArea_->setObjectName(QStringLiteral("sb_sortarea"));
    sortArea_->setAutoFillBackground(false);
    sb_sort_->setWidget(sortArea_);
    sb_sort_->setWidgetResizable(false);
    sb_sort_->viewport()->setAutoFillBackground(false);
    sb_sort_->viewport()->installEventFilter(this);
    sbLay->addWidget(sb_sort_);
    addWidget(pn_sbsort_);

    // The configuration: the grid beside the folder tree.
    pn_configsort_ = new QWidget(this);
    pn_configsort_->setObjectName(QStringLiteral("pn_configsort"));
    auto *cfgLay = new QHBoxLayout(pn_configsort_);
    cfgLay->setContentsMargins(0, 0, 0, 0);
    cfgLay->setSpacing(2);
    sg_sortconf_ = new QTableWidget(1, 2, pn_configsort_);
    sg_sortconf_->setObjectName(QStringLiteral("sg_sortconf"));
    sg_sortconf_->verticalHeader()->setDefaultSectionSize(19);
    sg_sortconf_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    sg_sortconf_->horizontalHeader()->setDefaultSectionSize(kSortConfigColWidth);
    sg_sortconf_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    sg_sortconf_->setSelectionMode(QAbstractItemView::SingleSelection);
    tv_sort_ = new QTreeView(pn_configsort_);
    tv_sort_->setObjectName(QStringLiteral("tv_sort"));
    tv_sort_->setModel(dirs);
    tv_sort_->setRootIndex(dirs->index(QStringLiteral("/")));
    for (int c = 1; c < dirs->columnCount(); ++c)
        tv_sort_->hideColumn(c);
    tv_sort_->setHeaderHidden(true);
    tv_sort_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tv_sort_->setUniformRowHeights(true);
    tv_sort_->setFixedWidth(200);
    connect(tv_sort_, &QTreeView::doubleClicked, this, &SortConfigView::tv_sortDblClick);
    cfgLay->addWidget(sg_sortconf_, 1);
    cfgLay->addWidget(tv_sort_);
    addWidget(pn_configsort_);
    setCurrentWidget(pn_sbsort_);

    connect(&engine_, &SortEngine::folderTrashed, this, &SortConfigView::folderTrashed);
    applyTexts();
    showConfig();
    update_sort_controls();
}

QToolButton *SortConfigView::addCommand(const char *name, int icon, bool checkable, int rowHeight)
{
    auto *b = new QToolButton(row_->parentWidget());
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(style()->standardIcon(QStyle::StandardPixmap(icon)));
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(rowHeight + 3, rowHeight);
    row_->addWidget(b);
    // The row belongs to the sort bar: the view keeps its own buttons.
    commands_.insert(QLatin1String(name), b);
    return b;
}

QToolButton *SortConfigView::command(const char *name) const
{
    return commands_.value(QLatin1String(name));
}

bool SortConfigView::isConfiguring() const
{
    QToolButton *b = command("bt_configsort");
    return b && b->isChecked();
}

GradientButton *SortConfigView::sortButton(int k) const
{
    return sortArea_->findChild<GradientButton *>(kButtonPrefix + QString::number(k),
                                                  Qt::FindDirectChildrenOnly);
}

// update_sort_controls: which command buttons show and work in this mode and with N buttons.
void SortConfigView::update_sort_controls()
{
    auto b = [this](const char *n) { return command(n); };
    const bool cfg = isConfiguring();
    const bool any = config_.count() >= 1;
    for (const char *n :
         {"bt_newbut", "bt_buttondelete", "bt_clearsort", "bt_savesort", "bt_newdir", "bt_dirdelete"})
        b(n)->setVisible(cfg);
    b("bt_dirdelete")->setEnabled(cfg);
    for (const char *n : {"bt_buttondelete", "bt_clearsort", "bt_savesort", "bt_newdir"})
        b(n)->setEnabled(any);
    sg_sortconf_->setEnabled(any);
    tv_sort_->setEnabled(any);
    b("bt_loadsort")->setEnabled(!cfg);
}

void SortConfigView::bt_sortconfigClick(bool down)
{
    update_sort_controls();
    if (down) {
        status_.setPanelText(0, ctx_.msg(Msg::ModeConfigTemplate));
        setEntriesPanel();
        destroySortButtons();
        showConfig();
        setCurrentWidget(pn_configsort_);
        sg_sortconf_->setColumnWidth(1, qMax(60, sg_sortconf_->width() - sg_sortconf_->columnWidth(0) - 23));
    } else {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        syncFromGrid();
        for (int k = 1; k <= config_.count(); ++k)
            create_sort_button(k);
        status_.setPanelText(0, engine_.modeText());
        status_.setPanelText(2, QString());
        setCurrentWidget(pn_sbsort_);
        arrange_sort_buttons();
        // Every item of the active list is deselected.
        list_.deselect();
        QApplication::restoreOverrideCursor();
    }
    emit configModeChanged(down);
}

void SortConfigView::create_sort_button(int k)
{
    if (!sortButton(k)) {
        auto *b = new GradientButton(sortArea_);
        b->setObjectName(kButtonPrefix + QString::number(k));
        b->setProperty("tag", k);
        b->setFixedSize(kSortButtonWidth, kSortButtonHeight);
        b->hide();
        buttonColors(b);
        connect(b, &QPushButton::clicked, this, [this, b] { sortButtonClick(b->property("tag").toInt()); });
        // The status texts of the button under the pointer.
        connect(b, &GradientButton::hovered, this, [this, b](bool inside) {
            const int n = b->property("tag").toInt();
            if (inside) {
                status_.setPanelText(0, engine_.hoverModeText());
                status_.setPanelText(4, config_.folder(n).toLower());
            } else {
                status_.setPanelText(4, QString());
            }
        });
        b->setText(config_.caption(k));
        const QString key = keyHint(k);
        const QString folder = config_.folder(k);
        b->setToolTip(key.isEmpty() ? folder : folder + QStringLiteral("  (") + key + QLatin1Char(')'));
        place_sort_button(b, sort_buttons_per_row(sb_sort_->viewport()->width()));
    }
    update_sort_controls();
}

void SortConfigView::place_sort_button(GradientButton *b, int perRow)
{
    if (perRow > 0)
        b->move(sort_button_pos(b->property("tag").toInt(), perRow));
    b->show();
}

void SortConfigView::arrange_sort_buttons()
{
    if (isConfiguring())
        return;
    const int perRow = sort_buttons_per_row(sb_sort_->viewport()->width());
    const int n = config_.count();
    if (perRow > 0 && n > 0) {
        for (int k = 1; k <= n; ++k)
            if (GradientButton *b = sortButton(k)) {
                place_sort_button(b, perRow);
                buttonColors(b);
            }
        const int rows = (n + perRow - 1) / perRow;
        sortArea_->resize(sb_sort_->viewport()->width(), rows * kSortButtonHeight);
    } else if (n == 0) {
        sortArea_->resize(sb_sort_->viewport()->width(), 0);
    }
    sb_sort_->verticalScrollBar()->setValue(0);
}

void SortConfigView::setTextured(bool textured)
{
    textured_ = textured;
    arrange_sort_buttons();
}

void SortConfigView::buttonColors(GradientButton *b) const
{
    if (!textured_)
        b->setColors(QColor(0xC0, 0xC0, 0xC0), QColor(0xC0, 0xC0, 0xC0));
    else
        b->setColors(palette().color(QPalette::Mid), palette().color(QPalette::Light));
}

void SortConfigView::destroySortButtons()
{
    const auto buttons = sortArea_->findChildren<GradientButton *>(Qt::FindDirectChildrenOnly);
    for (GradientButton *b : buttons)
        delete b;
    status_.setPanelText(4, QString());
}

void SortConfigView::sortButtonClick(int k)
{
    if (k < 1 || k > config_.count())
        return;
    engine_.sort_into_target(config_.folder(k));
}

// The grid is the editor of the configuration: its rows are the rows 1 .. N, its header the
// title row.
void SortConfigView::syncFromGrid()
{
    StringGrid g = config_.grid();
    const int n = config_.count();
    g.setSize(2, qMax(2, n + 1));
    for (int c = 0; c < 2; ++c)
        g.setColWidth(c, sg_sortconf_->columnWidth(c));
    for (int k = 1; k <= n && k - 1 < sg_sortconf_->rowCount(); ++k)
        for (int c = 0; c < 2; ++c) {
            const QTableWidgetItem *item = sg_sortconf_->item(k - 1, c);
            g.setCell(c, k, item ? item->text() : QString());
        }
    config_.setGrid(g, n);
}

void SortConfigView::showConfig()
{
    const StringGrid &g = config_.grid();
    sg_sortconf_->setRowCount(qMax(1, config_.count()));
    for (int c = 0; c < 2; ++c) {
        auto *h = sg_sortconf_->horizontalHeaderItem(c);
        if (!h)
            sg_sortconf_->setHorizontalHeaderItem(c, h = new QTableWidgetItem);
        h->setText(g.cell(c, 0));
    }
    sg_sortconf_->setColumnWidth(0, g.colWidth(0));
    sg_sortconf_->setColumnWidth(1, g.colWidth(1));
    for (int r = 0; r < sg_sortconf_->rowCount(); ++r)
        for (int c = 0; c < 2; ++c) {
            QTableWidgetItem *item = sg_sortconf_->item(r, c);
            if (!item)
                sg_sortconf_->setItem(r, c, item = new QTableWidgetItem);
            item->setText(g.cell(c, r + 1));
        }
}

void SortConfigView::setEntriesPanel()
{
    status_.setPanelText(2, ctx_.msg(Msg::Entries) + QString::number(config_.count()));
}

void SortConfigView::setTemplatePanel(bool upper)
{
    const QString name = QFileInfo(config_.templateName()).fileName();
    status_.setPanelText(3, ctx_.msg(Msg::TemplateLabel) + (upper ? name.toUpper() : name));
}

void SortConfigView::bt_newbutClick()
{
    syncFromGrid();
    if (!config_.add_button()) {
        ctx_.prompter().info(ctx_.msg(Msg::LimitReached));
        return;
    }
    update_sort_controls();
    showConfig();
    const int n = config_.count();
    sg_sortconf_->setCurrentCell(n - 1, 0);
    sg_sortconf_->setFocus();
    setEntriesPanel();
}

void SortConfigView::bt_buttondeleteClick()
{
    if (config_.count() == 0)
        return;
    syncFromGrid();
    sg_sortconf_->setFocus();
    const int current = sg_sortconf_->currentRow() >= 0 ? sg_sortconf_->currentRow() + 1 : config_.count();
    config_.delete_row(current);
    showConfig();
    update_sort_controls();
    setEntriesPanel();
}

void SortConfigView::clear_sort_config()
{
    if (config_.count() == 0)
        return;
    destroySortButtons();
    config_.clear();
    showConfig();
    setEntriesPanel();
    status_.setPanelText(3, ctx_.msg(Msg::NoName));
    arrange_sort_buttons();
    update_sort_controls();
}

void SortConfigView::bt_clearsortClick()
{
    clear_sort_config();
}

void SortConfigView::bt_savesortClick()
{
    syncFromGrid();
    const QString start =
        config_.templateName().isEmpty() ? ctx_.paths().templateDir : config_.templateName();
    QString path =
        ctx_.prompter().saveFileName(ctx_.msg(Msg::SaveSortButtons), start, QStringLiteral("*.ctg (*.ctg)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".ctg");
    QString error;
    if (!config_.save(path, &error))
        ctx_.prompter().error(ctx_.msg(Msg::WriteFailed) + path + QStringLiteral("\r\n") + error);
    // The panel keeps naming the template last loaded.
    setTemplatePanel(false);
    update_sort_controls();
}

void SortConfigView::bt_loadsortClick()
{
    const QString path = ctx_.prompter().openFileName(
        ctx_.msg(Msg::LoadSortTemplate), ctx_.paths().templateDir, QStringLiteral("*.ctg (*.ctg)"));
    if (path.isEmpty())
        return;
    clear_sort_config();
    destroySortButtons();
    const TemplateLoadStatus st = config_.load(path);
    showConfig();
    switch (st) {
    case TemplateLoadStatus::Ok:
        break;
    case TemplateLoadStatus::NotFound:
        ctx_.prompter().error(grid_load_error(ctx_.texts(), GridLoadStatus::NotFound, path));
        break;
    case TemplateLoadStatus::Corrupt:
        ctx_.prompter().error(grid_load_error(ctx_.texts(), GridLoadStatus::Corrupt, path));
        break;
    case TemplateLoadStatus::TooMany:
        ctx_.prompter().error(ctx_.msg(Msg::TemplateTooLarge) + path);
        break;
    }
    for (int k = 1; k <= config_.count(); ++k)
        create_sort_button(k);
    arrange_sort_buttons();
    update_sort_controls();
    status_.setPanelText(2, QString());
    // The name is shown only for a template that was read.
    if (st == TemplateLoadStatus::Ok)
        setTemplatePanel(true);
    else
        status_.setPanelText(3, ctx_.msg(Msg::NoName));
}

QString SortConfigView::currentFolderOfTree() const
{
    const QModelIndex i = tv_sort_->currentIndex();
    if (!i.isValid())
        return {};
    return static_cast<QFileSystemModel *>(tv_sort_->model())->filePath(i);
}

void SortConfigView::tv_sortDblClick(const QModelIndex &index)
{
    if (!index.isValid() || config_.count() == 0)
        return;
    const QString folder = static_cast<QFileSystemModel *>(tv_sort_->model())->filePath(index);
    int row = sg_sortconf_->currentRow();
    if (row < 0)
        row = 0;
    // The path keeps its spelling: Linux folder names are case-sensitive.
    QTableWidgetItem *item = sg_sortconf_->item(row, 1);
    if (!item)
        sg_sortconf_->setItem(row, 1, item = new QTableWidgetItem);
    item->setText(with_trailing_slash(folder));
}

void SortConfigView::bt_newdirClick()
{
    const QString parentDir = currentFolderOfTree();
    if (parentDir.isEmpty()) {
        ctx_.prompter().error(ctx_.msg(Msg::NoFolderSelected));
        return;
    }
    const std::optional<QString> name =
        ctx_.prompter().input(ctx_.msg(Msg::NewFolderCaption), ctx_.msg(Msg::InputName));
    if (!name || name->isEmpty())
        return;
    // One folder name under the selected folder, nothing that leads elsewhere.
    if (name->contains(QLatin1Char('/')) || *name == QLatin1String(".") || *name == QLatin1String("..") ||
        name->contains(QChar(0))) {
        ctx_.prompter().error(ctx_.msg(Msg::InvalidFolderName));
        return;
    }
    const QString path = with_trailing_slash(parentDir) + *name;
    if (QFileInfo::exists(path)) {
        ctx_.prompter().error(ctx_.msg(Msg::FolderExists));
        return;
    }
    // Made through the tree's model, which shows the new folder at once.
    const QModelIndex i = tv_sort_->currentIndex();
    if (!static_cast<QFileSystemModel *>(tv_sort_->model())->mkdir(i, *name).isValid()) {
        ctx_.prompter().error(ctx_.msg(Msg::WriteFailed) + path);
        return;
    }
    tv_sort_->setFocus();
    tv_sort_->expand(i);
}

void SortConfigView::bt_dirdeleteClick()
{
    const QString folder = currentFolderOfTree();
    if (!folder.isEmpty() && QFileInfo(folder).isDir() && !engine_.isBusy()) {
        const Answer a =
            ctx_.prompter().message(folder + QStringLiteral("\r\n\r\n") + ctx_.msg(Msg::DeleteFolderQuestion),
                                    Answer::Yes | Answer::Abort, PromptIcon::Question);
        // The folder's own files go to the trash (they can be brought back), subfolders
        // stay; the folder goes when that left it empty. Files that stayed are named.
        if (a == Answer::Yes) {
            engine_.trash_folder_files(folder);
            return; // folderTrashed follows
        }
    }
    update_sort_controls();
}

void SortConfigView::folderTrashed()
{
    tv_sort_->setFocus();
    const QModelIndex i = tv_sort_->currentIndex();
    tv_sort_->collapse(i);
    tv_sort_->expand(i);
    update_sort_controls();
}

void SortConfigView::applyTexts()
{
    const QStringList titles = ctx_.texts().columns(QStringLiteral("sg_sortconf"));
    config_.setTitles(titles.value(0), titles.value(1));
    for (int c = 0; c < 2; ++c) {
        auto *h = sg_sortconf_->horizontalHeaderItem(c);
        if (!h)
            sg_sortconf_->setHorizontalHeaderItem(c, h = new QTableWidgetItem);
        h->setText(titles.value(c));
    }
    if (isConfiguring()) {
        status_.setPanelText(0, ctx_.msg(Msg::ModeConfigTemplate));
        setEntriesPanel();
    }
}

bool SortConfigView::eventFilter(QObject *watched, QEvent *event)
{
    // pn_sbsortResize: the buttons flow again into the new width.
    if (watched == sb_sort_->viewport() && event->type() == QEvent::Resize && config_.count() > 0)
        arrange_sort_buttons();
    return QStackedWidget::eventFilter(watched, event);
}

} // namespace vorn
