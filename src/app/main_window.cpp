#include "app/main_window.h"

#include "app/grid_text.h"
#include "app/info_dialog.h"
#include "app/splash_dialog.h"
#include "lang/language_dialog.h"
#include "widgets/text_applier.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorn {

namespace {

constexpr int kButtonRowHeight = 23;
const char *const kLongName = "Viewer, Organizer, Renamer and Navigator";

QToolButton *makeToolButton(QWidget *parent, const char *name, QStyle::StandardPixmap icon)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(parent->style()->standardIcon(icon));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

} // namespace

QString MainWindow::fullTitle()
{
    return QStringLiteral("V.O.R.N. - ") + QLatin1String(kLongName) + QStringLiteral(" 2.0");
}

MainWindow::MainWindow(const StartOptions &options, QWidget *parent)
    : QMainWindow(parent), options_(options)
{
    setObjectName(QStringLiteral("form_main"));
    Prompter *prompter = options.prompter;
    if (!prompter) {
        ownPrompter_ = std::make_unique<DialogPrompter>(this);
        prompter = ownPrompter_.get();
    }
    const QString dir = options.programDir.isEmpty() ? QDir::currentPath() : options.programDir;
    ctx_ = std::make_unique<AppContext>(form_paths(dir), *prompter, this);
    formcreate();
}

MainWindow::~MainWindow() = default;

void MainWindow::formcreate()
{
    // 1. Hidden, fixed outer size 800 x 600, not scaled to the font.
    hide();
    resize(800, 600);
    setWindowIcon(QIcon(QStringLiteral(":/icons/vorn.svg")));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128)); // navy
    setPalette(pal);
    setAutoFillBackground(true);

    buildFunctionBar();
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
    // 7. The catalog list: an empty vorn.pth is written when missing.
    catalogGrid_.setSize(2, 1);
    catalogGrid_.clearCells();
    catalogGrid_.setAllColWidths(300);
    if (!QFileInfo::exists(p.pthFile))
        save_grid(p.pthFile, catalogGrid_);
    else
        loadGrid(p.pthFile, catalogGrid_);
    // 8.-9. The user masks, applied and written back.
    maskGrid_.setSize(14, 1);
    maskGrid_.setAllColWidths(31);
    if (QFileInfo::exists(p.mskFile))
        loadGrid(p.mskFile, maskGrid_);
    save_grid(p.mskFile, maskGrid_);
}

void MainWindow::buildFunctionBar()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("pn_client"));
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    tbar_main_ = new QWidget(central);
    tbar_main_->setObjectName(QStringLiteral("tbar_main"));
    tbar_main_->setFixedHeight(kButtonRowHeight + 4);
    tbar_main_->setAutoFillBackground(true);
    auto *row = new QHBoxLayout(tbar_main_);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(1);
    bt_language_ = makeToolButton(tbar_main_, "bt_language", QStyle::SP_FileDialogDetailedView);
    bt_info_ = makeToolButton(tbar_main_, "bt_info", QStyle::SP_MessageBoxInformation);
    bt_help_ = makeToolButton(tbar_main_, "bt_help", QStyle::SP_DialogHelpButton);
    bt_close_ = makeToolButton(tbar_main_, "bt_close", QStyle::SP_DialogCloseButton);
    row->addWidget(bt_language_);
    row->addWidget(bt_info_);
    row->addWidget(bt_help_);
    row->addStretch(1);
    row->addWidget(bt_close_);
    connect(bt_close_, &QToolButton::clicked, this, &MainWindow::bt_closeclick);
    connect(bt_language_, &QToolButton::clicked, this, &MainWindow::bt_languageClick);
    connect(bt_info_, &QToolButton::clicked, this, &MainWindow::bt_infoClick);
    connect(bt_help_, &QToolButton::clicked, this, &MainWindow::bt_helpclick);

    pn_main_ = new QFrame(central);
    pn_main_->setObjectName(QStringLiteral("pn_main"));
    pn_main_->setFrameShape(QFrame::StyledPanel);
    pn_main_->setAutoFillBackground(true);
    QPalette pal = pn_main_->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128));
    pn_main_->setPalette(pal);

    outer->addWidget(tbar_main_);
    outer->addWidget(pn_main_, 1);
    setCentralWidget(central);
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

void MainWindow::loadGrid(const QString &path, StringGrid &grid)
{
    switch (load_grid(path, grid)) {
    case GridLoadStatus::Ok:
        break;
    case GridLoadStatus::NotFound:
        ctx_->prompter().error(ctx_->msg(Msg::GridNotFound1) + path + ctx_->msg(Msg::GridNotFound2));
        break;
    case GridLoadStatus::Corrupt:
        ctx_->prompter().error(ctx_->msg(Msg::GridCorrupt) + path);
        break;
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
    // 2. Layout: the function bar one button row high.
    // 3. The five-language hint of the language button.
    bt_language_->setToolTip(QStringLiteral(
        "Sprache wählen\n\rSelect language\n\rChoisir langage\n\rPrescelto linguaggio\n\rSeleccionar lenguaje"));
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
    // The language button keeps its five-language hint.
    bt_language_->setToolTip(QStringLiteral(
        "Sprache wählen\n\rSelect language\n\rChoisir langage\n\rPrescelto linguaggio\n\rSeleccionar lenguaje"));
    emit ctx_->languageChanged(ctx_->language());
}

void MainWindow::bt_closeclick() { close(); }

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!shuttingDown_) {
        const Answer a = ctx_->prompter().message(ctx_->msg(Msg::CloseQuestion),
                                                  Answer::Yes | Answer::Abort, PromptIcon::Question);
        if (a == Answer::Abort) {
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
