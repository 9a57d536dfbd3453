#include "catalog/catalog_view.h"

#include "archives/folder_packer.h"
#include "base/grid_text.h"
#include "base/job.h"
#include "base/native_names.h"
#include "base/string_grid.h"
#include "catalog/catalog_browser_widget.h"
#include "catalog/catalog_files.h"
#include "catalog/catalog_job.h"
#include "catalog/catalog_pages.h"
#include "catalog/catalog_title_dialog.h"
#include "files/active_list.h"
#include "files/file_kind.h"
#include "sorting/sort_engine.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/panel_status_bar.h"
#include "widgets/string_grid_widget.h"
#include "widgets/textures.h"
#include "widgets/theme.h"
#include "widgets/tool_row.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace vorn
{

namespace
{

constexpr int kFirstPageTag = 380;
constexpr int kPrevPageTag = 381;
constexpr int kNextPageTag = 382;
constexpr int kLastPageTag = 383;

// The catalog picture as a source of the sort buttons: always a copy, never over a file.
class CatalogSortSource : public SortExtraSource
{
  public:
    CatalogSortSource(AppContext &ctx, const CatalogView &view) : ctx_(ctx), view_(view) {}

    bool isCurrentSource() const override { return ctx_.listTab() == ListTab::Catalog; }

    SortExtraRun prepareSort(const QString &target) override
    {
        const QString source = view_.catalogPicture();
        if (source.isEmpty())
            return {};
        const QString destination = target + QFileInfo(source).fileName();
        ctx_.prompter().message(source + QStringLiteral("   ") + destination, Answer::Ok,
                                PromptIcon::Information);
        SortExtraRun run;
        run.work = [source, target, language = ctx_.language()](JobToken &t) {
            SortExtraOutcome out;
            const QList<FileSortOutcome> copied =
                sort_files({source}, target, SortOp::Copy, language, nullptr, &t);
            if (!copied.isEmpty() && !copied.first().newPath.isEmpty())
                out.run.append(SortStep{source, copied.first().newPath, SortOp::Copy, {}});
            else if (!t.cancelled())
                out.failures << QFileInfo(source).fileName() + QStringLiteral(": ") +
                                    (copied.isEmpty() ? QString() : copied.first().error);
            return out;
        };
        run.finished = [&ctx = ctx_](const SortExtraOutcome &out) {
            if (!out.failures.isEmpty())
                ctx.prompter().error(ctx.msg(Msg::SortFailures) + QStringLiteral("\n") +
                                     out.failures.join('\n'));
        };
        return run;
    }

  private:
    AppContext &ctx_;
    const CatalogView &view_;
};

// The icons of the catalog's buttons, from the program's own set.
QIcon catalog_icon(const char *name)
{
    return QIcon(QStringLiteral(":/icons/catalog/%1.svg").arg(QLatin1String(name)));
}

} // namespace

CatalogView::CatalogView(AppContext &ctx, ActiveList &folderList, ActiveList &searchList, QWidget *listTab,
                         StringGrid &grid, QWidget *panel)
    : QFrame(panel), ctx_(ctx), folderList_(folderList), searchList_(searchList), listTab_(listTab),
      grid_(grid), packer_(std::make_shared<FolderPacker>()),
      sortSource_(std::make_unique<CatalogSortSource>(ctx, *this))
{
    setObjectName(QStringLiteral("catalogview"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *bar = new CollapsibleToolBar(QStringLiteral("tbar_catalog"), QStringLiteral("lb_contextcat"), this);
    toolBar_ = bar;
    buildToolBar(add_tool_row(bar, QStringLiteral("fup_catbuts"), kButtonRowHeight));
    layout->addWidget(toolBar_);

    pn_catalog_ = new QFrame(this);
    pn_catalog_->setObjectName(QStringLiteral("pn_catalog"));
    pn_catalog_->setMinimumSize(200, 150);
    layout->addWidget(pn_catalog_, 1);
    buildPanels();

    stat_catalog_ = new PanelStatusBar(QStringLiteral("stat_catalog"), {360, 0}, this);
    stat_catalog_->setAutoFillBackground(true);
    layout->addWidget(stat_catalog_);
    buildList();

    tm_packer_ = new QTimer(this);
    tm_packer_->setObjectName(QStringLiteral("tm_packer"));
    tm_packer_->setInterval(250);
    connect(tm_packer_, &QTimer::timeout, this, [this] {
        pb_catzip_->setValue(packer_->progress());
        if (packer_->progress() >= 100 || packer_->errorCode() > 0)
            tm_packer_->stop();
    });
    connect(&ioWatcher_, &QFutureWatcherBase::finished, this, [this] { onIoFinished(ioWatcher_.result()); });

    connect(&ctx_, &AppContext::listTabChanged, this, [this](ListTab tab) {
        if (tab == ListTab::Catalog) {
            showList(); // the list may have been read from vorn.pth after the view was built
            bt_gotocatalogClick();
        } else
            sourceTab_ = tab;
        update_catalog_buttons();
    });
    connect(&folderList_, &ActiveList::changed, this, &CatalogView::update_catalog_buttons);
    connect(&ctx_, &AppContext::languageChanged, this, &CatalogView::applyTexts);
    connect(htmlcatalog_, &CatalogBrowser::linkHovered, this,
            [this](const QString &path) { stat_catalog_->setPanelText(1, path); });
    connect(htmlcatalog_, &CatalogBrowser::pictureChanged, this, [this](const QString &path) {
        catalogPicture_ = path;
        update_catalog_buttons();
    });
    showSettings();
    showList();
    update_catalog_buttons();
}

CatalogView::~CatalogView()
{
    job_.reset();
    ioWatcher_.waitForFinished();
}

QToolButton *CatalogView::addButton(QWidget *row, const char *name)
{
    return add_tool_button(row, name, catalog_icon(name), false);
}

QToolButton *CatalogView::button(const char *name) const
{
    return findChild<QToolButton *>(QString::fromLatin1(name));
}

void CatalogView::buildToolBar(QWidget *row)
{
    auto *lay = static_cast<QHBoxLayout *>(row->layout());
    connect(addButton(row, "bt_catcreate"), &QToolButton::clicked, this, &CatalogView::bt_catcreateClick);
    connect(addButton(row, "bt_catsave"), &QToolButton::clicked, this, &CatalogView::bt_catsaveClick);
    connect(addButton(row, "bt_catopen"), &QToolButton::clicked, this, &CatalogView::bt_catopenClick);
    connect(addButton(row, "bt_catclose"), &QToolButton::clicked, this, &CatalogView::bt_catcloseClick);
    connect(addButton(row, "bt_catdelete"), &QToolButton::clicked, this, &CatalogView::bt_catdeleteClick);
    lay->addSpacing(6);
    connect(addButton(row, "bt_titleup"), &QToolButton::clicked, this, &CatalogView::bt_titleupClick);
    connect(addButton(row, "bt_titledown"), &QToolButton::clicked, this, &CatalogView::bt_titledownClick);
    lay->addSpacing(6);
    // The read-outs of C and S, between their down and up buttons.
    auto readout = [&](const char *name) {
        auto *l = new QLabel(row);
        l->setObjectName(QString::fromLatin1(name));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setAlignment(Qt::AlignCenter);
        l->setFixedSize(32, row->height() - 4);
        lay->addWidget(l);
        return l;
    };
    connect(addButton(row, "bt_thcolsdown"), &QToolButton::clicked, this, &CatalogView::bt_thcolsdownClick);
    pn_thumbcols_ = readout("pn_thumbcols");
    connect(addButton(row, "bt_thcolsup"), &QToolButton::clicked, this, &CatalogView::bt_thcolsupClick);
    lay->addSpacing(6);
    connect(addButton(row, "bt_thsizedown"), &QToolButton::clicked, this, &CatalogView::bt_thsizedownClick);
    pn_thumbsize_ = readout("pn_thumbsize");
    connect(addButton(row, "bt_thsizeup"), &QToolButton::clicked, this, &CatalogView::bt_thsizeupClick);
    lay->addSpacing(6);
    const struct {
        const char *name;
        int tag;
    } pages[] = {{"bt_firstpage", kFirstPageTag},
                 {"bt_prevpage", kPrevPageTag},
                 {"bt_changepage", kNextPageTag},
                 {"bt_lastpage", kLastPageTag}};
    for (const auto &p : pages) {
        QToolButton *b = addButton(row, p.name);
        b->setProperty("tag", p.tag);
        connect(b, &QToolButton::clicked, this, [this, tag = p.tag] { bt_changepageClick(tag); });
    }
    lay->addStretch(1);
    connect(addButton(row, "bt_backtoview"), &QToolButton::clicked, this, &CatalogView::backToViewRequested);
}

void CatalogView::buildPanels()
{
    auto *fill = new QVBoxLayout(pn_catalog_);
    fill->setContentsMargins(0, 0, 0, 0);
    htmlcatalog_ = new CatalogBrowser(pn_catalog_);
    fill->addWidget(htmlcatalog_);
    htmlcatalog_->hide();
    pn_catalog_->installEventFilter(this);

    auto progressPanel = [this](const char *name,
                                std::initializer_list<std::pair<const char *, QLabel **>> labels,
                                const char *barName, QProgressBar **bar) {
        auto *p = new QFrame(pn_catalog_);
        p->setObjectName(QString::fromLatin1(name));
        p->setFrameShape(QFrame::Panel);
        p->setFrameShadow(QFrame::Raised);
        p->setAutoFillBackground(true);
        p->setFixedSize(340, 130);
        auto *col = new QVBoxLayout(p);
        for (const auto &[labelName, out] : labels) {
            auto *l = new QLabel(p);
            l->setObjectName(QString::fromLatin1(labelName));
            l->setAlignment(Qt::AlignCenter);
            col->addWidget(l);
            if (out)
                *out = l;
        }
        *bar = new QProgressBar(p);
        (*bar)->setObjectName(QString::fromLatin1(barName));
        col->addWidget(*bar);
        p->hide();
        return p;
    };
    pn_createcat_ = progressPanel(
        "pn_createcat",
        {{"lb_operation", &lb_operation_}, {"lb_dateivon", &lb_dateivon_}, {"lb_dateiname", &lb_dateiname_}},
        "pb_createcat", &pb_createcat_);
    auto *cancel = new QPushButton(pn_createcat_);
    cancel->setObjectName(QStringLiteral("bt_exitcatcreate"));
    cancel->setIcon(catalog_icon("bt_exitcatcreate"));
    pn_createcat_->layout()->addWidget(cancel);
    pn_createcat_->setFixedSize(340, 160);
    connect(cancel, &QPushButton::clicked, this, &CatalogView::bt_exitcatcreateClick);
    QLabel *wait = nullptr;
    pn_catopen_ = progressPanel(
        "pn_catopen",
        {{"lb_iooperation", &lb_iooperation_}, {"lb_catname", &lb_catname_}, {"lb_catwait", &wait}},
        "pb_catzip", &pb_catzip_);
    pb_catzip_->setRange(0, 100);
    setTextured(textured_);
}

void CatalogView::setTextured(bool textured)
{
    textured_ = textured;
    // The progress panels stand out from the blue catalog panel: white, or plain.
    for (QWidget *panel : {static_cast<QWidget *>(pn_createcat_), static_cast<QWidget *>(pn_catopen_)}) {
        if (textured)
            set_texture(panel, Texture::White);
        else
            remove_texture(panel);
    }
}

void CatalogView::buildList()
{
    sg_catalog_ = new QTableWidget(listTab_);
    sg_catalog_->setObjectName(QStringLiteral("sg_catalog"));
    sg_catalog_->setSelectionBehavior(QAbstractItemView::SelectRows);
    sg_catalog_->setSelectionMode(QAbstractItemView::SingleSelection);
    sg_catalog_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sg_catalog_->horizontalHeader()->hide();
    sg_catalog_->verticalHeader()->hide();
    sg_catalog_->verticalHeader()->setDefaultSectionSize(18);
    sg_catalog_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    listTab_->layout()->addWidget(sg_catalog_);
    connect(sg_catalog_, &QTableWidget::cellDoubleClicked, this, &CatalogView::bt_catopenClick);
    connect(sg_catalog_, &QTableWidget::itemSelectionChanged, this, &CatalogView::update_catalog_buttons);
}

bool CatalogView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == pn_catalog_ && event->type() == QEvent::Resize) {
        // pn_catalogResize
        settings_.panelResized(pn_catalog_->contentsRect().width());
        showSettings();
        centre(pn_createcat_);
        centre(pn_catopen_);
    }
    return QFrame::eventFilter(watched, event);
}

void CatalogView::applyTexts()
{
    if (auto *b = findChild<QPushButton *>(QStringLiteral("bt_exitcatcreate")))
        b->setText(ctx_.texts().hint(QStringLiteral("bt_exitcatcreate")));
    if (catalogShown_ && htmlcatalog_->pageState() && !htmlcatalog_->pagePath().isEmpty())
        stat_catalog_->setPanelText(0,
                                    pageStatusText(QFileInfo(htmlcatalog_->pagePath()).baseName().toInt()));
}

bool CatalogView::isBusy() const
{
    return busy_ || (job_ && job_->isRunning()) || ioWatcher_.isRunning();
}

void CatalogView::setBusy(bool busy)
{
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
    emit lockRequested(busy);
    update_catalog_buttons();
}

ActiveList &CatalogView::sourceList() const
{
    return sourceTab_ == ListTab::Scan ? searchList_ : folderList_;
}

void CatalogView::centre(QWidget *panel)
{
    panel->move((pn_catalog_->width() - panel->width()) / 2, (pn_catalog_->height() - panel->height()) / 2);
}

void CatalogView::showSettings()
{
    pn_thumbsize_->setText(QString::number(settings_.size()));
    pn_thumbcols_->setText(QString::number(settings_.cols()));
}

// ---------------------------------------------------------------------------------------------
// Generation

QStringList CatalogView::collect_catalog_pictures()
{
    QStringList pictures;
    ActiveList &list = sourceList();
    if (list.selectedRows().isEmpty()) {
        QList<int> all;
        for (int r = 0; r < list.count(); ++r)
            if (file_kind(list.path(r)) == FileKind::Picture)
                all << r;
        list.selectMore(all);
    }
    for (int r : list.selectedRows())
        if (file_kind(list.path(r)) == FileKind::Picture)
            pictures << list.path(r);
    return pictures;
}

void CatalogView::bt_catcreateClick()
{
    if (isBusy())
        return;
    catalogShown_ = false;
    newCatalog_ = true;
    saved_ = false;
    if (sourceList().count() == 0) {
        ctx_.prompter().info(ctx_.msg(Msg::NoFilesSelected));
        update_catalog_buttons();
        return;
    }
    clear_catalog_view();
    clear_folder(ctx_.paths().tempDir);
    const QStringList pictures = collect_catalog_pictures();
    if (pictures.isEmpty()) {
        ctx_.prompter().info(ctx_.msg(Msg::CatListEmpty));
        update_catalog_buttons();
        return;
    }
    setBusy(true);
    pb_createcat_->setRange(0, int(pictures.size()));
    pb_createcat_->setValue(0);
    lb_operation_->setText(ctx_.msg(Msg::CatAdding));
    lb_dateivon_->clear();
    lb_dateiname_->clear();
    centre(pn_createcat_);
    pn_createcat_->show();
    pn_createcat_->raise();
    title_ = ctx_.msg(Msg::NotSaved);
    const int rows = rows_per_page(pn_catalog_->contentsRect().height(), settings_.size());
    const int cols = std::max(kMinThumbCols, settings_.cols());
    CatalogRequest request{pictures,         ctx_.paths().tempDir,
                           title_,           ctx_.paths().progDir + QString::fromLatin1(kCatalogBackground),
                           settings_.size(), cols,
                           cols * rows,      0};
    job_ = std::make_unique<CatalogJob>();
    connect(job_.get(), &CatalogJob::pictureAdded, this, &CatalogView::onPictureAdded);
    connect(job_.get(), &CatalogJob::finished, this, &CatalogView::onCatalogCreated, Qt::QueuedConnection);
    job_->start(request);
}

void CatalogView::onPictureAdded(int index, int count, const QString &picture)
{
    lb_dateivon_->setText(QStringLiteral("%1 / %2").arg(index).arg(count));
    lb_dateiname_->setText(shown_name(QFileInfo(picture).fileName()));
    pb_createcat_->setValue(index);
}

void CatalogView::onCatalogCreated(const CatalogRunResult &result)
{
    lb_operation_->setText(ctx_.msg(Msg::OkMark));
    newCatalog_ = true;
    catalogShown_ = true;
    pn_createcat_->hide();
    showFirstPage();
    setBusy(false);
    if (result.writeFailed)
        ctx_.prompter().error(ctx_.msg(Msg::WriteFailed) + ctx_.paths().tempDir);
    if (!result.failed.isEmpty()) {
        QStringList names;
        for (const QString &p : result.failed)
            names << shown_name(QFileInfo(p).fileName());
        ctx_.prompter().listMessage(ctx_.msg(Msg::CatPicturesFailed), names, PromptIcon::Warning);
    }
    emit catalogCreated();
}

void CatalogView::bt_exitcatcreateClick()
{
    if (!job_ || !job_->isRunning())
        return;
    job_->setHeld(true); // no picture is added while the question is open
    const bool stop = ctx_.prompter().askYesNo(ctx_.msg(Msg::AbortQuestion));
    if (stop)
        job_->requestCancel();
    job_->setHeld(false);
}

// ---------------------------------------------------------------------------------------------
// Settings and paging

void CatalogView::bt_thcolsupClick()
{
    clear_catalog_view();
    settings_.colsUp(pn_catalog_->contentsRect().width());
    showSettings();
    update_catalog_buttons();
}

void CatalogView::bt_thcolsdownClick()
{
    clear_catalog_view();
    settings_.colsDown(pn_catalog_->contentsRect().width());
    showSettings();
    update_catalog_buttons();
}

void CatalogView::bt_thsizeupClick()
{
    clear_catalog_view();
    settings_.sizeUp(pn_catalog_->contentsRect().width());
    showSettings();
    update_catalog_buttons();
}

void CatalogView::bt_thsizedownClick()
{
    clear_catalog_view();
    settings_.sizeDown();
    showSettings();
    update_catalog_buttons();
}

void CatalogView::bt_gotocatalogClick()
{
    settings_.catalogOpened(pn_catalog_->width());
    showSettings();
}

QString CatalogView::pageStatusText(int page) const
{
    // The title line of the page, without the line ends around it.
    QString title = htmlcatalog_->documentTitle();
    title.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    return title + QStringLiteral("     ") + ctx_.msg(Msg::Page) + QString::number(page) + ctx_.msg(Msg::Of) +
           QString::number(count_catalog_pages(ctx_.paths().tempDir));
}

void CatalogView::showFirstPage()
{
    const QString first = ctx_.paths().tempDir + QStringLiteral("1.htm");
    if (!QFileInfo::exists(first))
        return;
    htmlcatalog_->showPage(first);
    htmlcatalog_->show();
    catalogPicture_.clear();
    stat_catalog_->setPanelText(0, pageStatusText(1));
}

void CatalogView::bt_changepageClick(int tag)
{
    const int pages = count_catalog_pages(ctx_.paths().tempDir);
    if (pages == 0 || !catalogShown_)
        return;
    const QString shown = htmlcatalog_->pagePath();
    int k = QFileInfo(shown).baseName().toInt();
    if (tag == kFirstPageTag)
        k = 1;
    else if (tag == kPrevPageTag && k > 1)
        --k;
    else if (tag == kNextPageTag && k < pages)
        ++k;
    else if (tag == kLastPageTag)
        k = pages;
    const QString next = ctx_.paths().tempDir + QString::number(k) + QStringLiteral(".htm");
    if (QFileInfo::exists(next)) {
        htmlcatalog_->showPage(next);
        stat_catalog_->setPanelText(0, pageStatusText(k));
    } else {
        htmlcatalog_->showPage(shown);
    }
    update_catalog_buttons();
}

void CatalogView::clear_catalog_view()
{
    stat_catalog_->setPanelText(0, QString());
    stat_catalog_->setPanelText(1, QString());
    htmlcatalog_->clearView();
    htmlcatalog_->hide();
    catalogPicture_.clear();
}

void CatalogView::setThumbButtonsEnabled(bool on)
{
    button("bt_thcolsup")->setEnabled(on && settings_.colsUpEnabled());
    button("bt_thcolsdown")->setEnabled(on && settings_.colsDownEnabled());
    button("bt_thsizeup")->setEnabled(on && settings_.sizeUpEnabled());
    button("bt_thsizedown")->setEnabled(on && settings_.sizeDownEnabled());
}

void CatalogView::update_catalog_buttons()
{
    const bool busy = isBusy();
    const bool catalogTab = ctx_.listTab() == ListTab::Catalog;
    const bool listEmpty = catalog_list_empty(grid_);
    button("bt_titleup")->setEnabled(!busy && grid_.rowCount() > 1 && catalogTab);
    button("bt_titledown")->setEnabled(!busy && grid_.rowCount() > 1 && catalogTab);
    const int pages = catalogShown_ ? count_catalog_pages(ctx_.paths().tempDir) : 0;
    const bool paging = !busy && pages > 1 && htmlcatalog_->pageState() && htmlcatalog_->isVisible();
    const int k = QFileInfo(htmlcatalog_->pagePath()).baseName().toInt();
    button("bt_firstpage")->setEnabled(paging && k > 1);
    button("bt_prevpage")->setEnabled(paging && k > 1);
    button("bt_changepage")->setEnabled(paging && k < pages);
    button("bt_lastpage")->setEnabled(paging && k < pages);
    button("bt_catopen")->setEnabled(!busy && !listEmpty && catalogTab);
    button("bt_catclose")->setEnabled(!busy && catalogShown_);
    button("bt_catsave")->setEnabled(!busy && catalogShown_ && newCatalog_ && !saved_);
    button("bt_catdelete")->setEnabled(!busy && catalogShown_ && !newCatalog_);
    const bool create = !busy && sourceList().count() > 0 && !catalogShown_;
    button("bt_catcreate")->setEnabled(create);
    setThumbButtonsEnabled(create);
}

// ---------------------------------------------------------------------------------------------
// Catalog files

void CatalogView::showList()
{
    show_grid(grid_, sg_catalog_);
    for (int c = 0; c < sg_catalog_->columnCount(); ++c)
        sg_catalog_->setColumnWidth(c, grid_.colWidth(c));
    // The file column lies beyond the narrow list: each row names its file in its tool tip.
    for (int r = 0; r < sg_catalog_->rowCount(); ++r)
        if (QTableWidgetItem *item = sg_catalog_->item(r, 0))
            item->setToolTip(grid_.cell(1, r));
}

void CatalogView::writeList(bool readBack)
{
    QString error;
    if (!save_grid(ctx_.paths().pthFile, grid_, &error))
        ctx_.prompter().error(ctx_.msg(Msg::WriteFailed) + ctx_.paths().pthFile + QStringLiteral("\n") +
                              error);
    else if (readBack)
        load_grid(ctx_.paths().pthFile, grid_);
    showList();
}

int CatalogView::selectedRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = sg_catalog_->selectedRanges();
    if (!ranges.isEmpty())
        return ranges.first().topRow();
    return grid_.rowCount() > 0 ? 0 : -1;
}

void CatalogView::showIoPanel(Msg operation, const QString &file)
{
    lb_iooperation_->setText(ctx_.msg(operation));
    lb_catname_->setText(file);
    pb_catzip_->setValue(0);
    centre(pn_catopen_);
    pn_catopen_->show();
    pn_catopen_->raise();
}

void CatalogView::runPacker(std::function<int(FolderPacker &)> work, std::function<void(int)> done)
{
    ioDone_ = std::move(done);
    tm_packer_->start();
    std::shared_ptr<FolderPacker> packer = packer_;
    ioWatcher_.setFuture(QtConcurrent::run([packer, work]() { return work(*packer); }));
}

void CatalogView::onIoFinished(int code)
{
    tm_packer_->stop();
    pb_catzip_->setValue(packer_->progress());
    pn_catopen_->hide();
    if (code != PackOk)
        reportPackCode(code);
    auto done = std::move(ioDone_);
    ioDone_ = nullptr;
    if (done)
        done(code);
    setBusy(false);
    emit catalogIoFinished(code);
}

void CatalogView::reportPackCode(int code)
{
    const Msg m = pack_code_message(code);
    if (m != Msg::Count_)
        ctx_.prompter().error(ctx_.msg(m));
}

void CatalogView::bt_catsaveClick()
{
    if (isBusy() || !catalogShown_ || !newCatalog_ || saved_)
        return;
    // The description form; an empty description (its message shown by the form) ends the save.
    const std::optional<QString> input = ctx_.prompter().textForm(
        {QStringLiteral("form_cattitle"), [this] {
             CatalogTitleDialog form(ctx_.texts(), ctx_.prompter(), textured_, window());
             return form.ask();
         }});
    const QString description = catalog_description(input.value_or(QString()));
    if (description.isEmpty())
        return;
    stat_catalog_->setPanelText(0, description);
    const QString startDir = lastSaveDir_.isEmpty() ? ctx_.paths().catalogDir : lastSaveDir_;
    QString file = ctx_.prompter().saveFileName(ctx_.msg(Msg::SaveCatalog), startDir,
                                                ctx_.msg(Msg::CatalogFilter) + QStringLiteral(" (*.cat)"));
    if (file.isEmpty() || QFileInfo(file).fileName().isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".cat");
    lastSaveDir_ = QFileInfo(file).absolutePath();

    setBusy(true);
    clear_catalog_view();
    showIoPanel(Msg::CatSaving, file);
    const QString temp = ctx_.paths().tempDir;
    retitle_catalog_pages(temp, description);
    // The window's blue background goes with the catalog, as a bitmap under this name.
    texture_tile(Texture::Blue).toImage().save(temp + QString::fromLatin1(kCatalogBackground), "BMP");
    runPacker(
        [temp, file](FolderPacker &p) {
            p.mode = FolderPacker::Mode::Pack;
            p.sourcePath = temp;
            p.targetPath = file;
            return p.execute();
        },
        [this, description, file](int code) {
            // The list names the file only once it is complete.
            if (code == PackOk) {
                const int row = catalog_list_add(grid_, description, file);
                writeList(true);
                sg_catalog_->selectRow(row);
                newCatalog_ = false;
                saved_ = true;
            }
            catalogShown_ = true;
            showFirstPage();
        });
}

void CatalogView::bt_catopenClick()
{
    if (isBusy())
        return;
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString file = grid_.cell(1, row);
    const QString description = grid_.cell(0, row);
    if (file.isEmpty() || description.isEmpty())
        return;
    if (!QFileInfo(file).isFile()) {
        ctx_.prompter().error(file + ctx_.msg(Msg::CatalogNotFound));
        catalog_list_remove(grid_, row);
        writeList(true);
        update_catalog_buttons();
        return;
    }
    setBusy(true);
    clear_catalog_view();
    showIoPanel(Msg::CatUnpacking, file);
    const QString temp = ctx_.paths().tempDir;
    clear_folder(temp);
    runPacker([temp, file](FolderPacker &p) { return open_catalog_file(p, file, temp); },
              [this](int code) {
                  if (code == PackOk) {
                      newCatalog_ = false;
                      saved_ = false;
                      catalogShown_ = true;
                      showFirstPage();
                  }
              });
}

void CatalogView::bt_catdeleteClick()
{
    if (isBusy())
        return;
    const int row = selectedRow();
    if (row < 0 || catalog_list_empty(grid_))
        return;
    const QString file = grid_.cell(1, row);
    const QString description = grid_.cell(0, row);
    emit lockRequested(true);
    const Answer a =
        ctx_.prompter().message(ctx_.msg(Msg::CatalogLabel) + QStringLiteral(" ") + description +
                                    QStringLiteral("\r\n\r\n") + ctx_.msg(Msg::DeleteCatalogQuestion),
                                Answer::Yes | Answer::Abort, PromptIcon::Question);
    if (a != Answer::Yes) {
        emit lockRequested(false);
        return;
    }
    // The shown catalog is this one: its pages go with it.
    const bool shownOne = catalogShown_ && htmlcatalog_->documentTitle().trimmed() == description.trimmed();
    clear_catalog_view();
    if (shownOne)
        clear_folder(ctx_.paths().tempDir);
    catalog_list_remove(grid_, row);
    writeList(true);
    catalogShown_ = false;
    newCatalog_ = false;
    saved_ = false;
    update_catalog_buttons();
    if (QFileInfo(file).isFile())
        QFile::remove(file);
    else
        ctx_.prompter().error(file + ctx_.msg(Msg::CatalogNotFound));
    emit lockRequested(false);
}

void CatalogView::bt_catcloseClick()
{
    if (isBusy())
        return;
    clear_catalog_view();
    catalogShown_ = false;
    newCatalog_ = false;
    saved_ = false;
    update_catalog_buttons();
}

void CatalogView::bt_titleupClick()
{
    const int row = selectedRow();
    if (catalog_list_move(grid_, row, -1)) {
        writeList(false);
        sg_catalog_->selectRow(row - 1);
    }
}

void CatalogView::bt_titledownClick()
{
    const int row = selectedRow();
    if (catalog_list_move(grid_, row, +1)) {
        writeList(false);
        sg_catalog_->selectRow(row + 1);
    }
}

} // namespace vorn
