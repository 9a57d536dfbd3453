#include "sorting/sort_bar_view.h"

#include "files/active_list.h"
#include "files/file_helpers.h"
#include "sorting/sort_config_view.h"
#include "sorting/sort_layout.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/gradient_button.h"
#include "widgets/panel_status_bar.h"
#include "widgets/progress_panel.h"

#include "base/job.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

constexpr int kQuickTagBase = 660;
constexpr Qt::Key kQuickKeys[3] = {Qt::Key_Q, Qt::Key_W, Qt::Key_E};

QString keyText(QKeyCombination key)
{
    return QKeySequence(key).toString(QKeySequence::NativeText);
}

// The active list of the list area, as the sort engine sees it.
class ActiveListAccess : public SortListAccess
{
  public:
    ActiveListAccess(ActiveList &list, SortBarView &bar) : list_(list), bar_(bar) {}

    int count() const override { return list_.count(); }
    QList<int> selectedRows() const override { return list_.selectedRows(); }
    bool hasFocusItem() const override { return list_.hasFocusItem(); }
    QString filePath(int row) const override { return list_.path(row); }
    bool hasFocus() const override { return list_.hasFocus(); }
    void takeFocus() override { list_.takeFocus(); }
    void removeRows(const QList<int> &rows) override { list_.removeRows(rows); }
    void reselect(int row) override
    {
        list_.deselect();
        list_.select(row, true); // shows the file and writes the counter
        if (list_.isShown())
            list_.takeFocus();
    }
    void emptied() override
    {
        emit bar_.releaseViews();
        list_.updateReadout();
    }

  private:
    ActiveList &list_;
    SortBarView &bar_;
};

} // namespace

SortBarView::SortBarView(AppContext &ctx, ActiveList &list, CollapsibleToolBar &bar, PanelStatusBar &status,
                         int rowHeight, QWidget *parent)
    : QWidget(parent), ctx_(ctx), list_(list), bar_(bar), status_(status), rowHeight_(rowHeight)
{
    setObjectName(QStringLiteral("pn_sortmain"));
    engine_ = new SortEngine(ctx_, this);
    listAccess_ = std::make_unique<ActiveListAccess>(list_, *this);
    engine_->setList(listAccess_.get());

    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);

    // The command row.
    auto *row = new QWidget(this);
    row->setObjectName(QStringLiteral("fup_sortbuts"));
    row->setFixedHeight(rowHeight + 2);
    auto *rowLay = new QHBoxLayout(row);
    rowLay->setContentsMargins(2, 1, 2, 1);
    rowLay->setSpacing(1);
    const struct {
        const char *name;
        QStyle::StandardPixmap icon;
    } modeButtons[] = {{"bt_copyfile", QStyle::SP_FileLinkIcon},
                       {"bt_movefile", QStyle::SP_ArrowForward},
                       {"bt_sorttofolder", QStyle::SP_DirLinkIcon}};
    auto *group = new QButtonGroup(this);
    group->setExclusive(true);
    for (const auto &m : modeButtons) {
        auto *b = new QToolButton(row);
        b->setObjectName(QString::fromLatin1(m.name));
        b->setIcon(style()->standardIcon(m.icon));
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(rowHeight + 3, rowHeight);
        rowLay->addWidget(b);
        if (qstrcmp(m.name, "bt_sorttofolder") != 0)
            group->addButton(b);
        else
            rowLay->addSpacing(6);
    }
    button("bt_copyfile")->setChecked(true);
    connect(button("bt_copyfile"), &QToolButton::clicked, this, &SortBarView::bt_copyfileClick);
    connect(button("bt_movefile"), &QToolButton::clicked, this, &SortBarView::bt_movefileClick);
    connect(button("bt_sorttofolder"), &QToolButton::toggled, this, &SortBarView::bt_sorttofolderClick);
    lay->addWidget(row);

    // The folder panel: quick select beside the sort buttons (or their configuration).
    pn_sorttodir_ = new QWidget(this);
    pn_sorttodir_->setObjectName(QStringLiteral("pn_sorttodir"));
    auto *dirLay = new QHBoxLayout(pn_sorttodir_);
    dirLay->setContentsMargins(0, 0, 0, 0);
    split_sortfolder_ = new QSplitter(Qt::Horizontal, pn_sorttodir_);
    split_sortfolder_->setObjectName(QStringLiteral("split_sortfolder"));
    split_sortfolder_->setChildrenCollapsible(false);
    dirLay->addWidget(split_sortfolder_);

    dirs_ = new QFileSystemModel(this);
    dirs_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    dirs_->setReadOnly(true);
    dirs_->setRootPath(QStringLiteral("/"));
    buildQuickPanel(split_sortfolder_);
    config_ = new SortConfigView(ctx_, list_, *engine_, status_, dirs_, rowLay, rowHeight, split_sortfolder_);
    split_sortfolder_->addWidget(pn_sorttofolder_);
    split_sortfolder_->addWidget(config_);
    split_sortfolder_->setStretchFactor(1, 1);
    pn_sorttofolder_->hide();
    rowLay->addStretch(1);
    lay->addWidget(pn_sorttodir_, 1);

    connect(config_, &SortConfigView::configModeChanged, this, &SortBarView::fitHeight);
    // lb_sortbar opens and closes the bar, like its arrow button.
    bar_.setTitleToggles(true);
    connect(&bar_, &CollapsibleToolBar::restored, this, &SortBarView::tbar_sortmainMaximize);
    connect(&bar_, &CollapsibleToolBar::collapsed, this, &SortBarView::tbar_sortmainRestore);
    connect(&ctx_, &AppContext::languageChanged, this, &SortBarView::applyTexts);
    connect(engine_, &SortEngine::undone, this,
            [this](int n) { status_.setPanelText(4, ctx_.msg(Msg::UndoDone) + QString::number(n)); });
    connect(engine_, &SortEngine::busyChanged, this, &SortBarView::setBusy);
    // The lists show what is on disk again.
    connect(engine_, &SortEngine::undoFinished, this, [this] { list_.refreshFromDisk(); });
    buildShortcuts();
    updateQuickHints();
    fitHeight();
}

SortBarView::~SortBarView()
{
    engine_->setList(nullptr);
}

void SortBarView::buildQuickPanel(QWidget *parent)
{
    pn_sorttofolder_ = new QWidget(parent);
    pn_sorttofolder_->setObjectName(QStringLiteral("pn_sorttofolder"));
    auto *v = new QVBoxLayout(pn_sorttofolder_);
    v->setContentsMargins(1, 1, 1, 1);
    v->setSpacing(1);
    tvsort_ = new QTreeView(pn_sorttofolder_);
    tvsort_->setObjectName(QStringLiteral("tvsort"));
    tvsort_->setModel(dirs_);
    tvsort_->setRootIndex(dirs_->index(QStringLiteral("/")));
    for (int c = 1; c < dirs_->columnCount(); ++c)
        tvsort_->hideColumn(c);
    tvsort_->setHeaderHidden(true);
    tvsort_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvsort_->setUniformRowHeights(true);
    connect(tvsort_, &QTreeView::clicked, this, &SortBarView::tvsortClick);
    v->addWidget(tvsort_, 1);
    auto *radios = new QButtonGroup(this);
    for (int k = 1; k <= 3; ++k) {
        auto *line = new QHBoxLayout;
        line->setSpacing(2);
        auto *rb = new QRadioButton(pn_sorttofolder_);
        rb->setObjectName(QStringLiteral("rb_qs%1").arg(k));
        rb->setFocusPolicy(Qt::NoFocus);
        radios->addButton(rb, k);
        auto *b = new GradientButton(pn_sorttofolder_);
        b->setObjectName(QStringLiteral("bt_intofolder%1").arg(k));
        b->setProperty("tag", kQuickTagBase + k);
        b->setFixedSize(145, 23);
        b->setColors(palette().color(QPalette::Button), palette().color(QPalette::Mid));
        connect(b, &QPushButton::clicked, this, &SortBarView::bt_intofolder1Click);
        // bt_intofolder1MouseMove: panel 4 names the target under the pointer.
        connect(b, &GradientButton::hovered, this, [this, k](bool inside) {
            status_.setPanelText(4, inside ? engine_->quickTarget(k) : QString());
        });
        rb_qs_[k - 1] = rb;
        bt_intofolder_[k - 1] = b;
        line->addWidget(rb);
        line->addWidget(b);
        line->addStretch(1);
        v->addLayout(line);
    }
    rb_qs_[0]->setChecked(true);
    pn_sorttofolder_->setMinimumWidth(175);
}

void SortBarView::buildShortcuts()
{
    // Alt+1 .. Alt+9 and Alt+0 press the sort buttons 1 .. 10.
    for (int k = 1; k <= 10; ++k) {
        const Qt::Key key = k == 10 ? Qt::Key_0 : Qt::Key(Qt::Key_0 + k);
        auto *s = new QShortcut(QKeySequence(Qt::ALT | key), this);
        s->setObjectName(QStringLiteral("key_sts_%1").arg(k));
        connect(s, &QShortcut::activated, this, [this, k] {
            if (config_->sortButton(k))
                config_->sortButtonClick(k);
        });
    }
    // Alt+Q, Alt+W, Alt+E press the quick buttons.
    for (int k = 1; k <= 3; ++k) {
        auto *s = new QShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, kQuickKeys[k - 1])), this);
        s->setObjectName(QStringLiteral("key_intofolder%1").arg(k));
        connect(s, &QShortcut::activated, this, [this, k] { sortToQuickTarget(k); });
    }
    auto *undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    undo->setObjectName(QStringLiteral("key_undosort"));
    connect(undo, &QShortcut::activated, this, &SortBarView::undoLastRun);
}

QToolButton *SortBarView::button(const char *name) const
{
    return findChild<QToolButton *>(QString::fromLatin1(name));
}

void SortBarView::bt_copyfileClick()
{
    engine_->setMode(button("bt_copyfile")->isChecked() ? SortOp::Copy : SortOp::Move);
    status_.setPanelText(0, engine_->modeText());
}

void SortBarView::bt_movefileClick()
{
    engine_->setMode(button("bt_movefile")->isChecked() ? SortOp::Move : SortOp::Copy);
    status_.setPanelText(0, engine_->modeText());
}

void SortBarView::bt_sorttofolderClick(bool down)
{
    if (button("bt_sorttofolder")->isChecked() != down)
        button("bt_sorttofolder")->setChecked(down);
    pn_sorttofolder_->setVisible(down);
    if (down)
        split_sortfolder_->setSizes({pn_sorttofolder_->sizeHint().width() + 1, split_sortfolder_->width()});
    fitHeight();
}

void SortBarView::fitHeight()
{
    // The tree of the quick panel and the configuration need room: then the bar takes
    // (window height - 150) / 2, otherwise two rows of sort buttons.
    const bool tall =
        pn_sorttofolder_->isVisible() || config_->isConfiguring() || button("bt_sorttofolder")->isChecked();
    const int normal = 2 * kSortButtonHeight + 6;
    const int tallHeight = qMax(normal, (window()->height() - 150) / 2 - rowHeight_ - 17);
    pn_sorttodir_->setFixedHeight(tall ? tallHeight : normal);
}

void SortBarView::tvsortClick(const QModelIndex &index)
{
    if (index.isValid())
        assignQuickTarget(dirs_->filePath(index));
}

void SortBarView::assignQuickTarget(const QString &folder)
{
    int k = 1;
    for (int i = 0; i < 3; ++i)
        if (rb_qs_[i]->isChecked())
            k = i + 1;
    GradientButton *b = bt_intofolder_[k - 1];
    const QFontMetrics fm = b->fontMetrics();
    b->setText(shorten_path(folder, 139, [&fm](const QString &s) { return fm.horizontalAdvance(s); }));
    engine_->setQuickTarget(k, folder);
    updateQuickHints();
}

void SortBarView::bt_intofolder1Click()
{
    const int tag = sender() ? sender()->property("tag").toInt() : 0;
    sortToQuickTarget(tag - kQuickTagBase);
}

void SortBarView::sortToQuickTarget(int k)
{
    if (k >= 1 && k <= 3)
        engine_->sort_into_target(engine_->quickTarget(k));
}

void SortBarView::undoLastRun()
{
    engine_->undo_last_run();
}

void SortBarView::setProgressPanel(ProgressPanel *panel)
{
    panel_ = panel;
    connect(panel_, &ProgressPanel::cancelClicked, engine_, &SortEngine::cancel);
    connect(&engine_->job(), &Job::progressed, panel_, &ProgressPanel::setProgress);
}

void SortBarView::setBusy(bool busy)
{
    if (!panel_)
        return;
    if (busy)
        panel_->begin(engine_->busyText(), ctx_.msg(Msg::WorkCancel));
    else
        panel_->end();
}

void SortBarView::updateQuickHints()
{
    for (int k = 1; k <= 3; ++k) {
        const QString key = keyText(QKeyCombination(Qt::AltModifier, kQuickKeys[k - 1]));
        const QString target = engine_->quickTarget(k);
        bt_intofolder_[k - 1]->setToolTip(
            target.isEmpty() ? key : target + QStringLiteral("  (") + key + QLatin1Char(')'));
    }
}

void SortBarView::applyTexts()
{
    if (!config_->isConfiguring())
        status_.setPanelText(0, engine_->modeText());
    config_->applyTexts();
    updateQuickHints();
}

void SortBarView::tbar_sortmainMaximize()
{
    pn_sorttodir_->show();
    pn_sorttodir_->setEnabled(true);
    emit quickTargetsShown();
}

void SortBarView::tbar_sortmainRestore()
{
    pn_sorttodir_->hide();
    status_.setPanelText(4, QString());
}

CollapsibleToolBar *SortBarView::makeBar(QWidget *parent)
{
    return new CollapsibleToolBar(QStringLiteral("tbar_sortmain"), QStringLiteral("lb_sortbar"), parent);
}

} // namespace vorn
