#include "rename/rename_view.h"

#include "base/job.h"
#include "base/paths.h"
#include "files/app_context.h"
#include "files/file_helpers.h"
#include "files/name_rules.h"
#include "rename/rename_journal.h"
#include "rename/rename_list_model.h"
#include "rename/rename_preview_model.h"
#include "rename/rename_report.h"
#include "rename/stamp_view.h"
#include "widgets/progress_panel.h"
#include "widgets/text_applier.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <cerrno>

namespace vorn
{

namespace
{

const QString kCrLf = QStringLiteral("\r\n");

template <class W> W *named(W *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLabel *sunkenPanel(const char *name, QWidget *parent)
{
    auto *l = named(new QLabel(parent), name);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setMinimumHeight(22);
    l->setAutoFillBackground(true);
    l->setBackgroundRole(QPalette::Base);
    l->setForegroundRole(QPalette::Text);
    return l;
}

bool isControlChar(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

} // namespace

RenameView::RenameView(AppContext &ctx, const QString &journalFile, QWidget *parent)
    : QWidget(parent), ctx_(ctx), journal_(std::make_shared<RenameJournal>(journalFile)), job_(new Job(this)),
      compactJob_(new Job(this))
{
    setObjectName(QStringLiteral("renameview"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    auto *split = new QSplitter(Qt::Vertical, this);
    outer->addWidget(split);

    // Folder tree and file list.
    auto *top = new QWidget(split);
    auto *topGrid = new QGridLayout(top);
    topGrid->setContentsMargins(0, 0, 0, 0);
    treeModel_ = new QFileSystemModel(this);
    treeModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    treeModel_->setRootPath(QStringLiteral("/"));
    tree_ = named(new QTreeView(top), "tvrename");
    tree_->setModel(treeModel_);
    for (int c = 1; c < treeModel_->columnCount(); ++c)
        tree_->hideColumn(c);
    tree_->setHeaderHidden(true);
    tree_->setMinimumWidth(220);
    tree_->setMinimumHeight(60);
    const QModelIndex home = treeModel_->index(QDir::homePath());
    tree_->expand(home);
    tree_->scrollTo(home);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, &RenameView::tvrenameChange);

    listModel_ = new RenameListModel(this);
    listProxy_ = new QSortFilterProxyModel(this);
    listProxy_->setSourceModel(listModel_);
    listProxy_->setSortRole(RenameListModel::SortRole);
    list_ = named(new QTreeView(top), "lvrename");
    list_->setModel(listProxy_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    list_->setSortingEnabled(true);
    list_->sortByColumn(RenameListModel::NameColumn, Qt::AscendingOrder);
    list_->header()->resizeSection(RenameListModel::NameColumn, 260);
    list_->header()->resizeSection(RenameListModel::ModifiedColumn, 140);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RenameView::lvrenameClick);
    connect(listModel_, &RenameListModel::renameRequested, this, &RenameView::lvrenameEdited);

    dirPanel_ = sunkenPanel("pn_renamedir", top);
    selectAll_ = named(new QPushButton(top), "bt_rename");
    connect(selectAll_, &QPushButton::clicked, this, &RenameView::bt_renameClick);
    auto *sideSplit = new QSplitter(Qt::Horizontal, top);
    sideSplit->addWidget(tree_);
    sideSplit->addWidget(list_);
    sideSplit->setStretchFactor(1, 1);
    topGrid->addWidget(sideSplit, 0, 0, 1, 2);
    topGrid->addWidget(dirPanel_, 1, 0);
    topGrid->addWidget(selectAll_, 1, 1);
    topGrid->setColumnStretch(0, 1);

    // The two tabs.
    tabs_ = named(new QTabWidget(split), "pc_rename");
    tabs_->addTab(buildPatternTab(), QString());
    stamp_ = named(new StampView(
                       ctx_, [this] { return folder(); }, [this] { return selectedNames(); }, tabs_),
                   "tab_datetime");
    tabs_->addTab(stamp_, QString());
    connect(stamp_, &StampView::filesChanged, this, qOverload<>(&RenameView::refreshLists));
    connect(stamp_, &StampView::busyChanged, this, &RenameView::busyChanged);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);

    // Ctrl+Z anywhere in the window while this view is shown (a text field keeps its own).
    auto *undo = new QShortcut(QKeySequence::Undo, this);
    undo->setObjectName(QStringLiteral("key_undorename"));
    connect(undo, &QShortcut::activated, this, &RenameView::bt_undorenameClick);

    connect(job_, &Job::progressed, this, [this](qint64 done, qint64 total, const QString &) {
        progress_->setMaximum(int(std::max<qint64>(total, 1)));
        progress_->setValue(int(done));
    });
    connect(job_, &Job::finished, this, &RenameView::runFinished);

    for (QLineEdit *e : {before_, after_, template_, start_})
        e->installEventFilter(this);
    applyTexts();
    rebuildSample();
    updateUndoButton();
}

RenameView::~RenameView() = default;

QWidget *RenameView::buildPatternTab()
{
    auto *tab = named(new QWidget, "tab_autorename");
    auto *grid = new QGridLayout(tab);
    grid->setContentsMargins(6, 6, 6, 4);
    grid->setVerticalSpacing(4);

    auto *pattern = new QGridLayout;
    pattern->setVerticalSpacing(2);
    auto label = [&](const char *name, int row) { pattern->addWidget(named(new QLabel(tab), name), row, 0); };
    label("st_vortext", 0);
    before_ = named(new QLineEdit(tab), "ed_vortext");
    before_->setMaxLength(14);
    pattern->addWidget(before_, 0, 1, 1, 3);
    label("st_startbei", 1);
    start_ = named(new QLineEdit(QStringLiteral("1"), tab), "ed_start");
    start_->setMaxLength(RenamePattern::kMaxStart);
    pattern->addWidget(start_, 1, 1, 1, 3);
    label("st_nachtext", 2);
    after_ = named(new QLineEdit(tab), "ed_nachtext");
    after_->setMaxLength(14);
    pattern->addWidget(after_, 2, 1, 1, 3);

    insertName_ = named(new QPushButton(tab), "bt_plusfilename");
    insertName_->setCheckable(true);
    pattern->addWidget(insertName_, 3, 0);
    template_ = named(new QLineEdit(tab), "ed_plusfilename");
    template_->setMaxLength(RenamePattern::kMaxText);
    template_->setEnabled(false);
    pattern->addWidget(template_, 3, 1, 1, 3);
    left_ = named(new QToolButton(tab), "bt_plusleft");
    left_->setArrowType(Qt::LeftArrow);
    right_ = named(new QToolButton(tab), "bt_plusright");
    right_->setArrowType(Qt::RightArrow);
    auto *place = new QButtonGroup(tab);
    for (QToolButton *b : {left_, right_}) {
        b->setCheckable(true);
        place->addButton(b);
    }
    right_->setChecked(true);
    pattern->addWidget(left_, 4, 1);
    pattern->addWidget(right_, 4, 2);

    fill_ = named(new QPushButton(tab), "bt_nofill");
    fill_->setCheckable(true);
    pattern->addWidget(fill_, 5, 0);
    zero_ = named(new QRadioButton(tab), "bt_null");
    underscore_ = named(new QRadioButton(tab), "bt_lines");
    zero_->setChecked(true);
    pattern->addWidget(zero_, 5, 1);
    pattern->addWidget(underscore_, 5, 2, 1, 2);
    digits_ = named(new QLineEdit(QStringLiteral("1"), tab), "ed_digits");
    digits_->setReadOnly(true);
    digits_->setMaximumWidth(40);
    digits_->setAlignment(Qt::AlignCenter);
    up_ = named(new QToolButton(tab), "bt_fillup");
    up_->setArrowType(Qt::UpArrow);
    down_ = named(new QToolButton(tab), "bt_filldown");
    down_->setArrowType(Qt::DownArrow);
    pattern->addWidget(digits_, 6, 1);
    pattern->addWidget(up_, 6, 2);
    pattern->addWidget(down_, 6, 3);
    label("st_muster", 7);
    sample_ = sunkenPanel("pn_muster", tab);
    pattern->addWidget(sample_, 7, 1, 1, 3);
    pattern->setRowStretch(8, 1);
    grid->addLayout(pattern, 0, 0);

    preview_ = new RenamePreviewModel(this);
    grid_ = named(new QTableView(tab), "sg_rename");
    grid_->setModel(preview_);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(20);
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->horizontalHeader()->resizeSection(0, 240);
    grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid_->setSelectionMode(QAbstractItemView::NoSelection);
    grid_->setMinimumWidth(320);
    grid->addWidget(grid_, 0, 1);

    auto *buttons = new QVBoxLayout;
    previewButton_ = named(new QPushButton(tab), "bt_prevrename");
    runButton_ = named(new QPushButton(tab), "bt_renameall");
    discardButton_ = named(new QPushButton(tab), "bt_cancelrename");
    undoButton_ = named(new QPushButton(tab), "bt_undorename");
    for (QPushButton *b : {previewButton_, runButton_, discardButton_, undoButton_})
        buttons->addWidget(b);
    buttons->addStretch(1);
    runButton_->setEnabled(false);
    discardButton_->setEnabled(false);
    grid->addLayout(buttons, 0, 2);
    progress_ = named(new QProgressBar(tab), "pb_rename");
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(14);
    progress_->setValue(0);
    grid->addWidget(progress_, 1, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    connect(before_, &QLineEdit::textChanged, this, &RenameView::ed_vortextChange);
    connect(after_, &QLineEdit::textChanged, this, &RenameView::ed_vortextChange);
    connect(template_, &QLineEdit::textChanged, this, &RenameView::ed_vortextChange);
    connect(start_, &QLineEdit::textChanged, this, &RenameView::ed_startChange);
    connect(insertName_, &QPushButton::clicked, this, &RenameView::bt_plusfilenameClick);
    connect(left_, &QToolButton::clicked, this, &RenameView::bt_plusleftClick);
    connect(right_, &QToolButton::clicked, this, &RenameView::bt_plusrightClick);
    connect(fill_, &QPushButton::clicked, this, &RenameView::bt_nofillClick);
    connect(zero_, &QAbstractButton::clicked, this, &RenameView::bt_nullClick);
    connect(underscore_, &QAbstractButton::clicked, this, &RenameView::bt_linesClick);
    connect(up_, &QToolButton::clicked, this, &RenameView::bt_fillupClick);
    connect(down_, &QToolButton::clicked, this, &RenameView::bt_filldownClick);
    connect(previewButton_, &QPushButton::clicked, this, &RenameView::bt_prevrenameClick);
    connect(runButton_, &QPushButton::clicked, this, &RenameView::bt_renameallClick);
    connect(discardButton_, &QPushButton::clicked, this, &RenameView::bt_cancelrenameClick);
    connect(undoButton_, &QPushButton::clicked, this, &RenameView::bt_undorenameClick);
    bt_nofillClick(); // fill off: its controls are disabled, the fill character stays '0'
    pattern_ = RenamePattern();
    return tab;
}

void RenameView::applyTexts()
{
    apply_control_texts(this, ctx_.texts());
    preview_->setReasonTexts({QString(), QString(), QString(), qt_error_string(ENOENT),
                              ctx_.msg(Msg::ReasonTaken), ctx_.msg(Msg::ReasonRepeated),
                              ctx_.msg(Msg::ReasonBadName)});
    updateRunButton();
}

// ---- folder and list

void RenameView::setFolder(const QString &folder)
{
    const QModelIndex i = treeModel_->index(folder);
    if (i.isValid()) {
        tree_->setCurrentIndex(i);
        tree_->scrollTo(i);
    }
    if (QDir::cleanPath(this->folder()) != QDir::cleanPath(folder)) {
        // Not in the tree (a hidden folder): list it all the same.
        listModel_->setFolder(with_trailing_slash(folder));
        dirPanel_->setText(folder);
        stamp_->darkenLamps();
    }
}

QString RenameView::folder() const
{
    return listModel_->folder();
}

void RenameView::tvrenameChange()
{
    const QString path = treeModel_->filePath(tree_->currentIndex());
    listModel_->setFolder(path.isEmpty() ? QString() : with_trailing_slash(path));
    dirPanel_->setText(path);
    stamp_->darkenLamps();
}

QStringList RenameView::selectedNames() const
{
    QList<int> rows;
    for (const QModelIndex &i : list_->selectionModel()->selectedRows(0))
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    QStringList names;
    names.reserve(rows.size());
    for (int r : rows)
        names << listModel_->entry(listProxy_->mapToSource(listProxy_->index(r, 0)).row()).name;
    return names;
}

void RenameView::selectNames(const QStringList &names)
{
    const QSet<QString> wanted(names.begin(), names.end());
    // One selection of whole runs of rows, handed over at once: a range per row would make
    // every later query of the selection walk thousands of ranges.
    QItemSelection sel;
    const int rows = listProxy_->rowCount();
    const int lastColumn = RenameListModel::ColumnCount - 1;
    for (int r = 0; r < rows;) {
        auto picked = [&](int row) {
            return wanted.contains(
                listModel_->entry(listProxy_->mapToSource(listProxy_->index(row, 0)).row()).name);
        };
        if (!picked(r)) {
            ++r;
            continue;
        }
        int end = r;
        while (end + 1 < rows && picked(end + 1))
            ++end;
        sel.append(QItemSelectionRange(listProxy_->index(r, 0), listProxy_->index(end, lastColumn)));
        r = end + 1;
    }
    list_->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
}

void RenameView::lvrenameClick()
{
    const QStringList names = selectedNames();
    if (names.isEmpty())
        return;
    previewButton_->setEnabled(!isBusy());
    stamp_->showAttributesOf(names);
}

void RenameView::bt_renameClick()
{
    list_->selectAll();
    list_->setFocus();
}

void RenameView::refreshLists()
{
    // The files that are still there stay selected.
    refreshLists(selectedNames());
}

void RenameView::refreshLists(const QStringList &select)
{
    listModel_->refresh();
    if (!select.isEmpty())
        selectNames(select);
    emit filesChanged();
}

void RenameView::compactJournal()
{
    if (!compactJob_->isRunning() && journal_->needsCompaction())
        compactJob_->start([journal = journal_](JobToken &) { journal->compact(); });
}

void RenameView::lvrenameEdited(int row, const QString &newName)
{
    if (isBusy() || row < 0 || row >= listModel_->count())
        return;
    const QString oldName = listModel_->entry(row).name;
    const QString dir = folder();
    if (!validate_new_name(newName, dir + oldName, ctx_))
        return;
    if (ctx_.drives().is_cdrom_drive(dir)) {
        ctx_.prompter().message(ctx_.msg(Msg::CdromNoRename), Answer::Ok, PromptIcon::Warning);
        return;
    }
    QList<RenameFailure> failures;
    QStringList renamed;
    const RenameCheck check = check_renames(dir, {RenameRow{oldName, newName}});
    if (check.rows.first() == RowCheck::Rename) {
        const RenameOutcome out = journal_->run(dir, {RenameMove{oldName, newName}});
        failures = out.failures;
        renamed = out.newNames;
    } else if (check.rows.first() == RowCheck::Taken)
        failures << RenameFailure{oldName, RefusedTaken};
    else if (check.rows.first() != RowCheck::Same)
        failures << RenameFailure{oldName, check.rows.first() == RowCheck::Missing ? ENOENT : RefusedBadName};
    refreshLists(renamed.isEmpty() ? selectedNames() : renamed);
    updateUndoButton();
    compactJournal();
    report_failures(ctx_, ctx_.msg(Msg::RenameFailures), failures);
}

// ---- pattern controls

bool RenameView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(event);
        const QString text = ke->text();
        // Keys that type nothing (arrows, Home) and shortcuts (Ctrl+C) are no characters.
        if (!text.isEmpty() && !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            const bool taken = watched == start_ ? startKey(text) : nameKey(text);
            if (!taken)
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool RenameView::startKey(const QString &text)
{
    const QChar c = text.front();
    if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || isControlChar(c))
        return true;
    ctx_.prompter().message(ctx_.msg(Msg::InvalidKey) + c + QStringLiteral(" !") + kCrLf + kCrLf +
                                ctx_.msg(Msg::DigitsOnly1) + kCrLf + ctx_.msg(Msg::DigitsOnly2),
                            Answer::Retry, PromptIcon::Error);
    return false;
}

bool RenameView::nameKey(const QString &text)
{
    const QChar c = text.front();
    return isControlChar(c) || check_name_char(c, ctx_);
}

void RenameView::rebuildSample()
{
    const QString sample = pattern_.sample();
    // A sample that fails the name check keeps the last good one; the preview is not blocked.
    if (validate_new_name(sample, sample, ctx_))
        sample_->setText(sample);
}

void RenameView::ed_vortextChange()
{
    pattern_.setTextBefore(before_->text());
    pattern_.setTextAfter(after_->text());
    if (pattern_.insertName())
        pattern_.setNameTemplate(template_->text());
    rebuildSample();
}

void RenameView::ed_startChange()
{
    pattern_.setStartText(start_->text());
    digits_->setText(QString::number(pattern_.digits()));
    updateDigitButtons();
    rebuildSample();
}

void RenameView::bt_plusfilenameClick()
{
    const bool on = insertName_->isChecked();
    pattern_.setInsertName(on, ctx_.msg(Msg::Filename));
    template_->setEnabled(on);
    const QSignalBlocker block(template_);
    template_->setText(pattern_.nameTemplate());
    rebuildSample();
}

void RenameView::bt_plusleftClick()
{
    pattern_.setNameLeft(true);
    list_->setFocus();
    rebuildSample();
}

void RenameView::bt_plusrightClick()
{
    pattern_.setNameLeft(false);
    list_->setFocus();
    rebuildSample();
}

void RenameView::bt_nofillClick()
{
    const bool on = fill_->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{digits_, zero_, underscore_})
        w->setEnabled(on);
    pattern_.setFill(on);
    updateDigitButtons();
    rebuildSample();
}

void RenameView::bt_nullClick()
{
    pattern_.setFillZero(true);
    rebuildSample();
}

void RenameView::bt_linesClick()
{
    pattern_.setFillZero(false);
    rebuildSample();
}

void RenameView::bt_fillupClick()
{
    pattern_.digitsUp();
    digits_->setText(QString::number(pattern_.digits()));
    updateDigitButtons();
    rebuildSample();
}

void RenameView::bt_filldownClick()
{
    pattern_.digitsDown();
    digits_->setText(QString::number(pattern_.digits()));
    updateDigitButtons();
    rebuildSample();
}

void RenameView::updateDigitButtons()
{
    const bool on = fill_->isChecked();
    up_->setEnabled(on && pattern_.digits() < RenamePattern::kMaxDigits);
    down_->setEnabled(on && pattern_.digits() > RenamePattern::kMinDigits);
}

// ---- preview, run, discard, undo

void RenameView::bt_prevrenameClick()
{
    const QStringList names = selectedNames();
    if (names.isEmpty() || isBusy())
        return;
    if (start_->text().trimmed().isEmpty()) {
        ctx_.prompter().message(ctx_.msg(Msg::StartAtNeedsValue), Answer::Retry, PromptIcon::Error);
        start_->setFocus();
        return;
    }
    const std::optional<qint64> start = pattern_.startNumber();
    if (!start) {
        ctx_.prompter().message(ctx_.msg(Msg::StartNotNumber).arg(start_->text().trimmed()), Answer::Ok,
                                PromptIcon::Error);
        return;
    }
    QApplication::setOverrideCursor(Qt::BusyCursor);
    progress_->setMaximum(int(names.size()));
    const QString word = ctx_.msg(Msg::Filename);
    QList<RenameRow> rows;
    rows.reserve(names.size());
    qint64 n = *start;
    for (const QString &name : names)
        rows << RenameRow{name, pattern_.newName(name, n++, word)};
    preview_->setPreview(rows, check_renames(folder(), rows));
    progress_->setValue(0);
    QApplication::restoreOverrideCursor();
    previewButton_->setEnabled(true);
    runButton_->setEnabled(true);
    discardButton_->setEnabled(true);
    updateRunButton();
}

void RenameView::updateRunButton()
{
    const int refused = preview_->check().refused();
    const QString caption = ctx_.texts().caption(QStringLiteral("bt_renameall"));
    runButton_->setText(refused > 0 ? caption + ctx_.msg(Msg::RenameRefusedCount).arg(refused) : caption);
}

void RenameView::bt_cancelrenameClick()
{
    preview_->discard();
    previewButton_->setEnabled(true);
    runButton_->setEnabled(false);
    discardButton_->setEnabled(false);
    progress_->setValue(0);
    updateRunButton();
}

void RenameView::bt_renameallClick()
{
    if (isBusy() || !preview_->hasPreview())
        return;
    const QString dir = folder();
    if (dir.isEmpty())
        return;
    if (ctx_.drives().is_cdrom_drive(dir)) {
        ctx_.prompter().message(ctx_.msg(Msg::CdromNoRename), Answer::Ok, PromptIcon::Warning);
        return;
    }
    progress_->setMaximum(int(preview_->rows().size()));
    undoRun_ = false;
    setBusy(true);
    job_->start([journal = journal_, dir, rows = preview_->rows()](JobToken &t) {
        // The disk may have changed since the preview: check again, right before the run.
        const RenameCheck check = check_renames(dir, rows);
        QList<RenameFailure> refused;
        QList<RenameMove> moves;
        for (int i = 0; i < rows.size(); ++i) {
            switch (check.rows[i]) {
            case RowCheck::Rename:
                moves << RenameMove{rows[i].oldName, rows[i].newName};
                break;
            case RowCheck::Missing:
                refused << RenameFailure{rows[i].oldName, ENOENT};
                break;
            case RowCheck::Taken:
                refused << RenameFailure{rows[i].oldName, RefusedTaken};
                break;
            case RowCheck::Repeated:
                refused << RenameFailure{rows[i].oldName, RefusedRepeated};
                break;
            case RowCheck::BadName:
                refused << RenameFailure{rows[i].oldName, RefusedBadName};
                break;
            case RowCheck::Same:
            case RowCheck::Empty:
                break;
            }
        }
        RenameOutcome out = journal->run(dir, moves, [&t](int done, int total, const QString &name) {
            t.progress(done, total, shown_name(name));
            return t.checkpoint();
        });
        out.failures = refused + out.failures;
        return out;
    });
}

void RenameView::bt_undorenameClick()
{
    if (isBusy())
        return;
    if (!journal_->canUndo()) {
        ctx_.prompter().info(ctx_.msg(Msg::RenameUndoNothing));
        return;
    }
    undoRun_ = true;
    setBusy(true);
    job_->start([journal = journal_](JobToken &t) {
        return journal->undo_last([&t](int done, int total, const QString &name) {
            t.progress(done, total, shown_name(name));
            return t.checkpoint();
        });
    });
}

void RenameView::runFinished()
{
    setBusy(false);
    const RenameOutcome out = job_->hasResult() ? job_->result<RenameOutcome>() : RenameOutcome{};
    // Exactly the files the run renamed stay selected, under the names they have now.
    refreshLists(out.newNames);
    if (!undoRun_)
        bt_cancelrenameClick();
    progress_->setValue(0);
    updateUndoButton();
    compactJournal();
    const QString title = ctx_.msg(undoRun_ ? Msg::RenameUndoFailures : Msg::RenameFailures);
    if (out.cancelled) {
        // What the run did before the cancel, with the files it refused, in one message.
        const QString summary = ctx_.msg(undoRun_ ? Msg::RenameUndoCancelled : Msg::RenameCancelled)
                                    .arg(out.renamed)
                                    .arg(out.planned);
        if (out.failures.isEmpty())
            ctx_.prompter().info(summary);
        else
            report_failures(ctx_, summary + QStringLiteral("\r\n\r\n") + title, out.failures);
        return;
    }
    report_failures(ctx_, title, out.failures);
}

bool RenameView::isBusy() const
{
    return job_->isRunning() || stamp_->isBusy();
}

void RenameView::setBusy(bool busy)
{
    tree_->setEnabled(!busy);
    list_->setEnabled(!busy);
    selectAll_->setEnabled(!busy);
    for (QPushButton *b : {previewButton_, runButton_, discardButton_, undoButton_})
        b->setEnabled(!busy && b != runButton_ && b != discardButton_ && b != undoButton_);
    if (panel_ && busy)
        panel_->begin(ctx_.texts().caption(QString::fromLatin1(undoRun_ ? "bt_undorename" : "bt_renameall")),
                      ctx_.msg(Msg::WorkCancel));
    else if (panel_)
        panel_->end();
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
    emit busyChanged(busy);
}

void RenameView::setProgressPanel(ProgressPanel *panel)
{
    panel_ = panel;
    connect(panel_, &ProgressPanel::cancelClicked, job_, &Job::cancel);
    connect(job_, &Job::progressed, panel_, &ProgressPanel::setProgress);
}

void RenameView::updateUndoButton()
{
    undoButton_->setEnabled(!isBusy() && journal_->canUndo());
}

void RenameView::recoverJournal()
{
    if (!journal_->load())
        ctx_.prompter().message(ctx_.msg(Msg::RenameJournalDamaged), Answer::Ok, PromptIcon::Warning);
    if (journal_->hasOpenRun()) {
        const bool finish = ctx_.prompter().askYesNo(ctx_.msg(Msg::RenameInterrupted));
        const RenameOutcome out = journal_->recover(finish);
        refreshLists();
        report_failures(ctx_, ctx_.msg(finish ? Msg::RenameFailures : Msg::RenameUndoFailures), out.failures);
    }
    updateUndoButton();
    compactJournal();
}

} // namespace vorn
