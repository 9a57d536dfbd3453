#include "app/main_window.h"

#include "app/grid_report.h"
#include "app/info_dialog.h"
#include "app/splash_dialog.h"
#include "app/text_file.h"
#include "lang/language_dialog.h"
#include "app/file_viewer.h"
#include "app/function_bar_view.h"
#include "app/view_stack_view.h"
#include "files/file_kind.h"
#include "files/list_area_view.h"
#include "files/mask_bar_view.h"
#include "files/scan_panel_view.h"
#include "viewers/picture_view.h"
#include "viewers/slide_host_view.h"
#include "viewers/slideshow_view.h"
#include "sorting/sort_bar_view.h"
#include "sorting/sort_engine.h"
#include "catalog/catalog_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/panel_status_bar.h"
#include "widgets/text_applier.h"
#include "widgets/theme.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QWheelEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

// The icons and pictures are compiled into the static ui library; register them once.
static void initResources() { Q_INIT_RESOURCE(resources); }

namespace vorn {

namespace {

const char *const kLongName = "Viewer, Organizer, Renamer and Navigator";

// The window's navy shows between its parts; the parts keep the desktop's colours.
class NavyBackdrop : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), QColor(0, 0, 128)); }
};

} // namespace

QString MainWindow::fullTitle()
{
    return QStringLiteral("V.O.R.N. - ") + QLatin1String(kLongName) + QStringLiteral(" 2.0");
}

MainWindow::MainWindow(const StartOptions &options, QWidget *parent)
    : QMainWindow(parent), options_(options)
{
    initResources();
    setObjectName(QStringLiteral("form_main"));
    Prompter *prompter = options.prompter;
    if (!prompter) {
        ownPrompter_ = std::make_unique<DialogPrompter>(this);
        prompter = ownPrompter_.get();
    }
    ctx_ =
        std::make_unique<AppContext>(form_paths(program_dir_for_start(options.programDir)), *prompter, this);
    formcreate();
}

MainWindow::~MainWindow()
{
    // The slide host goes with the members, before the child views: unhook it first.
    if (slideshow_)
        slideshow_->setHost(nullptr);
}

void MainWindow::formcreate()
{
    // 1. Hidden, fixed outer size 800 x 600, not scaled to the font.
    hide();
    resize(800, 600);
    setWindowIcon(QIcon(QStringLiteral(":/icons/vorn.svg")));

    buildLayout();
    buildShortcuts();

    // 2. The ZIP engine is linked in; binding cannot fail.
    zip_.bind();
    // 3.-5. Language index 0, the paths, the working folders.
    ctx_->setLanguageIndex(German);
    const Paths &p = ctx_->paths();
    create_working_folders(p);
    // 6. vorn.cfg
    ctx_->config() = load_config(p.cfgFile);
    ctx_->setLanguageIndex(ctx_->config().language);
    // 7. The catalog list: a missing vorn.pth is created as an empty file (the empty list);
    // the grid is written to it when the list first changes and at shutdown.
    catalogGrid_.setSize(2, 1);
    catalogGrid_.clearCells();
    catalogGrid_.setAllColWidths(300);
    if (!QFileInfo::exists(p.pthFile))
        write_text_lines(p.pthFile, {});
    else
        load_grid_reported(*ctx_, p.pthFile, catalogGrid_);
    // 8.-9. The user masks, applied and written back.
    maskBar_->loadMaskFile();
    maskBar_->bt_maskconfigokClick();
    // 10. The textured theme.
    apply_theme(this, true);
}

void MainWindow::buildLayout()
{
    auto *central = new NavyBackdrop(this);
    central->setObjectName(QStringLiteral("pn_client"));
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->setSpacing(2);

    functionBar_ = new FunctionBarView(kButtonRowHeight, central);
    outer->addWidget(functionBar_);

    auto *body = new QSplitter(Qt::Horizontal, central);
    body->setObjectName(QStringLiteral("splitmain"));
    body->setChildrenCollapsible(false);
    listArea_ = new ListAreaView(*ctx_, kButtonRowHeight, body);
    listArea_->setMinimumWidth(180);
    views_ = new ViewStack(body);
    body->addWidget(listArea_);
    body->addWidget(views_);
    body->setStretchFactor(0, 0);
    body->setStretchFactor(1, 1);
    body->setSizes({250, 550});
    outer->addWidget(body, 1);

    tbar_mask_ = new CollapsibleToolBar(QStringLiteral("tbar_mask"), QStringLiteral("lb_filter"), central);
    maskBar_ = new MaskBarView(*ctx_, kButtonRowHeight, tbar_mask_->content());
    tbar_mask_->contentLayout()->addWidget(maskBar_);
    outer->addWidget(tbar_mask_);
    tbar_sortmain_ = new CollapsibleToolBar(QStringLiteral("tbar_sortmain"), QStringLiteral("lb_sortbar"), central);
    outer->addWidget(tbar_sortmain_);
    stat_sort_ = new PanelStatusBar(QStringLiteral("stat_sort"), {120, 160, 180, 0, 120}, central);
    outer->addWidget(stat_sort_);
    setCentralWidget(central);

    stat_sort_->setAutoFillBackground(true);

    // A wheel over the empty view scrolls the tree or list clicked last.
    views_->panel(View::Empty)->installEventFilter(this);

    // The empty view's navy.
    QPalette pal = views_->panel(View::Empty)->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128));
    views_->panel(View::Empty)->setPalette(pal);
    views_->panel(View::Empty)->setAutoFillBackground(true);

    connect(functionBar_, &FunctionBarView::viewButtonClicked, this, &MainWindow::enterView);
    connect(functionBar_, &FunctionBarView::closeClicked, this, &MainWindow::bt_closeclick);
    connect(functionBar_, &FunctionBarView::languageClicked, this, &MainWindow::bt_languageClick);
    connect(functionBar_, &FunctionBarView::infoClicked, this, &MainWindow::bt_infoClick);
    connect(functionBar_, &FunctionBarView::helpClicked, this, &MainWindow::bt_helpclick);
    connect(functionBar_, &FunctionBarView::themeChanged, this, [this](bool textured) { apply_theme(this, textured); });
    connect(functionBar_, &FunctionBarView::viewingTextureChosen, this,
            [this](bool blue) { set_viewing_texture(this, blue ? Texture::Blue : Texture::White); });
    connect(functionBar_, &FunctionBarView::viewingColorChosen, this, [this](const QColor &c) {
        set_viewing_color(this, c);
        emit viewingColorChanged(c);
    });
    // Any function button brings the hidden list area back.
    const auto buttons = functionBar_->findChildren<QToolButton *>();
    for (QToolButton *b : buttons)
        if (!functionBar_->viewGroup()->buttons().contains(b)) // view buttons decide for themselves
            connect(b, &QToolButton::clicked, this, &MainWindow::showListSide);
    connect(listArea_, &ListAreaView::hideRequested, this, &MainWindow::bt_dirhideClick);
    connect(listArea_, &ListAreaView::tabChanged, this, &MainWindow::pc_listChange);
    connect(listArea_, &ListAreaView::showFileRequested, this, &MainWindow::show_file);
    connect(listArea_, &ListAreaView::releaseViews, this, &MainWindow::releaseViews);
    scanPanel_ = new ScanPanelView(*ctx_, *listArea_, views_->panel(View::Pictures));
    pictureView_ = new PictureView(*ctx_, *listArea_, views_->panel(View::Pictures), kButtonRowHeight, this);
    registerViewer(View::Pictures, pictureView_);
    // The picture view gives it its slide area and bt_diashow (setHost, setShowButton).
    slideshow_ = new SlideshowView(*ctx_, *this, central);
    slideHost_ = std::make_unique<PictureSlideHost>(*pictureView_);
    slideshow_->setHost(slideHost_.get());
    slideshow_->setShowButton(pictureView_->diashowButton());
    sortView_ = new SortBarView(*ctx_, *listArea_, *tbar_sortmain_, *stat_sort_, kButtonRowHeight, tbar_sortmain_->content());
    tbar_sortmain_->contentLayout()->addWidget(sortView_);
    connect(sortView_, &SortBarView::releaseViews, this, &MainWindow::releaseViews);
    catalogView_ = new CatalogView(*ctx_, *listArea_, catalogGrid_, views_->panel(View::Catalog));
    sortView_->engine().setCatalogSource(catalogView_->sortSource());
    connect(catalogView_, &CatalogView::lockRequested, this, [this](bool locked) {
        setListsAndBarsEnabled(!locked);
        setViewAndMaskEnabled(!locked);
    });
    connect(catalogView_, &CatalogView::backToViewRequested, this, [this] { enterView(2000); });
    connect(scanPanel_, &ScanPanelView::lockRequested, this, [this](bool locked) {
        setListsAndBarsEnabled(!locked);
        setViewAndMaskEnabled(!locked);
    });
    connect(scanPanel_, &ScanPanelView::pictureViewRequested, this, [this] { enterView(2000); });
    connect(scanPanel_, &ScanPanelView::releaseViews, this, &MainWindow::releaseViews);
    connect(maskBar_, &MaskBarView::maskApplied, this, [this] {
        releaseViews();
        if (ctx_->pictureMode)
            listArea_->refresh_folder_view();
        else
            listArea_->relist();
        if (ctx_->maskFlags.zip)
            stat_sort_->setPanelText(0, ctx_->msg(Msg::Mode) + ctx_->msg(Msg::Extract));
        listArea_->updateListButtons();
    });
}

void MainWindow::buildShortcuts()
{
    auto *f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &MainWindow::bt_helpclick);
    // Ctrl+Alt+F12 flips the key-stepping switch; many Linux desktops take Ctrl+Alt+F-keys
    // for console switching, so Ctrl+Shift+F12 does the same.
    for (const QKeySequence &seq : {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F12),
                                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F12)}) {
        auto *s = new QShortcut(seq, this);
        s->setContext(Qt::ApplicationShortcut);
        connect(s, &QShortcut::activated, this, [this] { ctx_->keyStepping = !ctx_->keyStepping; });
    }
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        formshow();
    }
}

void MainWindow::formshow()
{
    // 1. The caption.
    setWindowTitle(fullTitle());
    // 2. Layout: the picture view in front.
    enterView(2000);
    // 3. The five-language hint of the language button.
    // 4. The defaults of the views are set by each view when it is built.
    // 5. The file list shows the folder selected in the tree, with "*.*".
    const QString home = QDir::homePath();
    listArea_->showStartFolder(home);
    // 6. Empty the clipboard.
    if (QClipboard *cb = QGuiApplication::clipboard())
        cb->clear();
    // 7. The texts; an index other than 0 or 1 becomes English.
    const int lang = ctx_->config().language;
    ctx_->setLanguageIndex(lang == German || lang == English ? lang : English);
    apply_texts();
    // 8. The splash, modal.
    if (options_.showSplash) {
        SplashDialog splash(ctx_->texts(), this);
        splash.exec();
        QCoreApplication::processEvents();
    }
}

void MainWindow::apply_texts()
{
    apply_control_texts(this, ctx_->texts());
    listArea_->applyTexts();
    // The language button keeps its five-language hint.
    functionBar_->button("bt_language")->setToolTip(QStringLiteral(
        "Sprache wählen\n\rSelect language\n\rChoisir langage\n\rPrescelto linguaggio\n\rSeleccionar lenguaje"));
    emit ctx_->languageChanged(ctx_->language());
}

void MainWindow::bt_closeclick() { close(); }

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!shuttingDown_) {
        if (!closeConfirmed_) {
            const Answer a = ctx_->prompter().message(ctx_->msg(Msg::CloseQuestion),
                                                      Answer::Yes | Answer::Abort, PromptIcon::Question);
            if (a == Answer::Abort) {
                event->ignore();
                return;
            }
            closeConfirmed_ = true;
        }
        if (scanPanel_->isScanning()) {
            // The scan runs inside a handler below us: stop it and close once it has returned.
            scanPanel_->abortScan();
            connect(scanPanel_, &ScanPanelView::scanFinished, this, &QWidget::close, Qt::QueuedConnection);
            event->ignore();
            return;
        }
        shut_down();
    }
    event->accept();
}

WindowShow MainWindow::currentWindowShow() const
{
    if (isMinimized())
        return WindowShow::Minimized;
    if (isMaximized())
        return WindowShow::Maximized;
    return WindowShow::Normal;
}

void MainWindow::shut_down()
{
    shuttingDown_ = true;
    const Paths &p = ctx_->paths();
    // 2.-3. The catalog list and the configuration.
    save_grid(p.pthFile, catalogGrid_);
    save_config(p.cfgFile, ctx_->language(), currentWindowShow());
    // 8. The ZIP engine.
    zip_.release();
    // 9. zipdir and temp are emptied and removed when empty.
    remove_working_folders(p);
}

void MainWindow::bt_languageClick()
{
    {
        LanguageDialog dlg(*ctx_, this);
        dlg.exec();
    }
    QCoreApplication::processEvents();
    apply_texts();
}

void MainWindow::bt_infoClick()
{
    {
        InfoDialog info(ctx_->texts(), this);
        info.exec();
    }
    activateWindow();
}

void MainWindow::bt_helpclick()
{
    emit helpRequested(ctx_->paths().helpDir +
                       (ctx_->language() == German ? QStringLiteral("d_main.htm")
                                                   : QStringLiteral("e_main.htm")));
}

} // namespace vorn

namespace vorn {

void MainWindow::registerViewer(View v, FileViewer *viewer) { viewers_.insert(int(v), viewer); }

void MainWindow::bt_showviewClick()
{
    if (auto *b = qobject_cast<QToolButton *>(sender()))
        enterView(b->property("tag").toInt());
}

void MainWindow::showListSide()
{
    listArea_->show();
}

void MainWindow::enterView(int tag)
{
    ctx_->pictureMode = ctx_->zipMode = ctx_->renameMode = false;
    functionBar_->button("bt_help")->setEnabled(true);
    listArea_->show();
    tbar_mask_->show();
    tbar_sortmain_->show();
    switch (tag) {
    case 2000:
        ctx_->pictureMode = true;
        views_->bringToFront(View::Pictures);
        ctx_->setView(View::Pictures);
        break;
    case 2001:
        ctx_->zipMode = true;
        views_->bringToFront(View::Zip);
        ctx_->setView(View::Zip);
        break;
    case 2002:
        ctx_->renameMode = true;
        listArea_->hide();
        tbar_sortmain_->hide();
        tbar_mask_->hide();
        views_->bringToFront(View::Rename);
        ctx_->setView(View::Rename);
        functionBar_->button("bt_help")->setEnabled(false);
        break;
    default:
        break;
    }
    if (QAbstractButton *b = functionBar_->viewGroup()->button(tag))
        b->setChecked(true);
    listArea_->updateListButtons();
}

void MainWindow::pc_listChange(int index)
{
    const ListTab tab = index == 1 ? ListTab::Scan : index == 2 ? ListTab::Catalog : ListTab::Folder;
    pictureView_->resetTrackBar();
    stat_sort_->setPanelText(1, QString());
    ctx_->setListTab(tab);
    if (tab == ListTab::Scan && !ctx_->zipMode)
        enterView(2000);
    if (tab == ListTab::Catalog) {
        views_->bringToFront(View::Catalog);
        ctx_->setView(View::Catalog);
        stat_sort_->setPanelText(1, ctx_->texts().caption(QStringLiteral("tab_catalog")));
    }
    listArea_->updateReadout();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel && watched == views_->panel(View::Empty)) {
        const int dy = static_cast<QWheelEvent *>(event)->angleDelta().y();
        if (dy != 0)
            listArea_->scrollWheelTarget(dy > 0 ? -1 : 1);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::bt_dirhideClick() { listArea_->hide(); }

void MainWindow::releaseViews()
{
    for (FileViewer *v : std::as_const(viewers_))
        v->releaseFile();
}

void MainWindow::resetViews()
{
    releaseViews();
    showListSide();
    tbar_mask_->show();
    tbar_sortmain_->show();
}

void MainWindow::show_file(const QString &path)
{
    if (ctx_->zipMode || path.isEmpty())
        return;
    const QString lower = path.toLower();
    const qsizetype slash = lower.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = lower.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot > slash ? lower.mid(dot) : QString();
    if (!ctx_->slideshowRunning && ext != lastExtension_) {
        resetViews();
        lastExtension_ = ext;
    }
    View target = View::Text;
    switch (file_kind(path)) {
    case FileKind::Picture: target = View::Pictures; break;
    case FileKind::Video: target = View::Video; break;
    case FileKind::Html: target = View::Html; break;
    case FileKind::Zip: target = ctx_->pictureMode ? View::Zip : View::Text; break;
    case FileKind::Other: target = View::Text; break;
    }
    if (target == View::Pictures && ctx_->slideshowRunning) {
        views_->bringToFront(target); // back from an entry of another kind
        ctx_->setView(target);
        if (FileViewer *v = viewers_.value(int(target)))
            v->showFile(path);
        return;
    }
    views_->bringToFront(target);
    ctx_->setView(target);
    if (target == View::Pictures && !ctx_->pictureMode)
        return; // the picture is shown only while the picture view button is down
    if (FileViewer *v = viewers_.value(int(target)))
        v->showFile(path);
}

void MainWindow::setListsAndBarsEnabled(bool on)
{
    listArea_->setListsEnabled(on);
    for (QWidget *w : {static_cast<QWidget *>(functionBar_), static_cast<QWidget *>(tbar_mask_),
                       static_cast<QWidget *>(tbar_sortmain_)})
        w->setEnabled(on);
    for (const char *name : {"tbar_view", "tbar_catalog", "tbar_zip", "tbar_html", "tbar_text", "tbar_drivemask", "tbar_dir"})
        if (auto *w = findChild<QWidget *>(QString::fromLatin1(name)))
            w->setEnabled(on);
}

void MainWindow::setViewAndMaskEnabled(bool on)
{
    for (QAbstractButton *b : functionBar_->viewGroup()->buttons())
        b->setEnabled(on);
    const auto masks = tbar_mask_->findChildren<QAbstractButton *>();
    for (QAbstractButton *b : masks) {
        const QString n = b->objectName();
        if (n.startsWith(QLatin1String("bt_maskwahl")) || n.startsWith(QLatin1String("bt_usermask")))
            b->setEnabled(on);
    }
}

} // namespace vorn
