#include "files/scan_panel_view.h"

#include "files/list_area_view.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorn {

namespace {
// Found files reach the list in batches: at every folder and after this many files.
constexpr int kBatch = 64;
}

ScanPanelView::ScanPanelView(AppContext &ctx, ListAreaView &lists, QWidget *parent)
    : QFrame(parent), ctx_(ctx), lists_(lists)
{
    setObjectName(QStringLiteral("pn_exitscan"));
    setFixedSize(315, 185);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    setCursor(Qt::WaitCursor);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(16, 14, 16, 10);
    lb_scanfound_ = new QLabel(this);
    lb_scanfound_->setObjectName(QStringLiteral("lb_scanfound"));
    lb_scanoperation_ = new QLabel(this);
    lb_scanoperation_->setObjectName(QStringLiteral("lb_scanoperation"));
    QFont big = lb_scanfound_->font();
    big.setPointSize(big.pointSize() + 3);
    big.setBold(true);
    lb_scanfound_->setFont(big);
    auto *stat = new QFrame(this);
    stat->setObjectName(QStringLiteral("stat_exitscan"));
    stat->setFrameShape(QFrame::Panel);
    stat->setFrameShadow(QFrame::Sunken);
    auto *statLay = new QHBoxLayout(stat);
    statLay->setContentsMargins(2, 2, 2, 2);
    gauge_ = new QProgressBar(stat);
    gauge_->setObjectName(QStringLiteral("stat_exitscan_gauge"));
    gauge_->setRange(0, 0);
    gauge_->setTextVisible(false);
    gauge_->setFixedHeight(14);
    gauge_->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: #f0d020; }"));
    gauge_->setEnabled(false);
    statLay->addWidget(gauge_);
    bt_exitscan_ = new QToolButton(this);
    bt_exitscan_->setObjectName(QStringLiteral("bt_exitscan"));
    bt_exitscan_->setText(QStringLiteral("Abbrechen"));
    bt_exitscan_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bt_exitscan_->setMinimumWidth(110);
    bt_exitscan_->setCursor(Qt::ArrowCursor); // the normal pointer over the cancel button
    connect(bt_exitscan_, &QToolButton::clicked, this, &ScanPanelView::bt_exitscanclick);
    lay->addStretch(1);
    lay->addWidget(lb_scanfound_, 0, Qt::AlignHCenter);
    lay->addWidget(lb_scanoperation_, 0, Qt::AlignHCenter);
    lay->addStretch(1);
    lay->addWidget(stat);
    lay->addWidget(bt_exitscan_, 0, Qt::AlignHCenter);
    hide();

    scanner_.setFileMask(ctx_.filterText);
    connect(&ctx_, &AppContext::maskChanged, this, [this] { scanner_.setFileMask(ctx_.filterText); });
    // The window stays live: pending events run at every folder.
    scanner_.OnIdle = [this](TTreeScanner &) {
        flush();
        QCoreApplication::processEvents();
    };
    scanner_.OnFileFound = [this](TTreeScanner &ts) { tsfilefound(ts); };
    connect(lists_.button("bt_startscan"), &QToolButton::clicked, this, &ScanPanelView::bt_startscanclick);
    connect(lists_.button("bt_clearscan"), &QToolButton::clicked, this, &ScanPanelView::bt_clearscanclick);
}

void ScanPanelView::centreInParent()
{
    if (QWidget *p = parentWidget())
        move((p->width() - width()) / 2, (p->height() - height()) / 2);
    raise();
}

void ScanPanelView::bt_startscanclick()
{
    if (scanning_)
        return;
    Prompter &prompter = ctx_.prompter();
    const QString root = lists_.scanRoot();
    if (root.isEmpty()) {
        prompter.info(ctx_.msg(Msg::ScanSelectDrive));
        return;
    }
    if (ctx_.currentMask == QLatin1String("*.*") || ctx_.scanPatterns.isEmpty()) {
        prompter.info(ctx_.msg(Msg::ScanNoStarDotStar));
        return;
    }
    emit pictureViewRequested();
    emit releaseViews();
    FileListModel *model = lists_.searchList()->fileModel();
    model->clear();
    lb_scanfound_->clear();
    lb_scanoperation_->clear();
    scanner_.setInitialDirectory(root);
    scanner_.setRecursive(true);
    cancelRequested_ = false;
    aborted_ = false;

    const QString question = ctx_.msg(Msg::ScanAskFolder) + root.toUpper() + ctx_.msg(Msg::ScanAskType) +
                             scanner_.FileMask().toUpper() + ctx_.msg(Msg::ScanAskContinue);
    if (prompter.message(question, Answer::Yes | Answer::No, PromptIcon::Question) != Answer::Yes) {
        lists_.updateReadout();
        return;
    }

    emit releaseViews();
    lists_.tabs()->setCurrentIndex(1);
    scanning_ = true;
    emit lockRequested(true);
    window()->setCursor(Qt::WaitCursor);
    centreInParent();
    show();
    gauge_->setEnabled(true);
    found_ = 0;
    const QStringList patterns = ctx_.scanPatterns;
    for (const QString &pattern : patterns) {
        if (aborted_)
            break;
        scanner_.setFileMask(pattern);
        scanner_.search();
        flush();
    }
    hide();
    gauge_->setEnabled(false);
    window()->unsetCursor();
    scanning_ = false;
    emit lockRequested(false);

    if (model->rowCount() > 0) {
        lists_.tabs()->setCurrentIndex(1);
        lb_scanoperation_->setText(QStringLiteral("OK!"));
        lists_.setScanCountText(ctx_.msg(Msg::Found) + QString::number(model->rowCount()));
        if (!closing_)
            prompter.info(ctx_.msg(Msg::ScanDone));
    } else {
        if (!closing_)
            prompter.info(ctx_.msg(Msg::ScanNothingFound));
        lists_.setScanCountText(QString());
    }
    lists_.updateListButtons();
    emit scanFinished();
}

void ScanPanelView::tsfilefound(TTreeScanner &ts)
{
    if (!cancelRequested_) {
        const QString path = ts.FileFound();
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        pending_.append(FileEntry{path.mid(slash + 1), path.left(slash + 1), ts.FileSize()});
        ++found_;
        if (pending_.size() >= kBatch) {
            flush();
            QCoreApplication::processEvents();
        }
        return;
    }
    if (!ts.continues())
        return;
    // A cancel was asked for: the walk halts while the question is open, and the file in
    // hand is not added whatever the answer.
    gauge_->setEnabled(false);
    ts.stop();
    flush();
    const bool abort = ctx_.prompter().message(ctx_.msg(Msg::AbortQuestion), Answer::Yes | Answer::No,
                                               PromptIcon::Question) == Answer::Yes;
    if (abort) {
        // Yes ends the whole search, not only the walk of the current pattern.
        aborted_ = true;
        return;
    }
    ts.resume();
    cancelRequested_ = false;
    gauge_->setEnabled(true);
}

void ScanPanelView::flush()
{
    if (!pending_.isEmpty()) {
        lists_.searchList()->fileModel()->append(pending_);
        pending_.clear();
    }
    const int n = lists_.searchList()->fileModel()->rowCount();
    lb_scanfound_->setText(ctx_.msg(Msg::Found) + QString::number(n));
    lb_scanoperation_->setText(ctx_.msg(Msg::Searching));
}

void ScanPanelView::bt_exitscanclick() { cancelRequested_ = true; }

void ScanPanelView::abortScan()
{
    if (!scanning_)
        return;
    aborted_ = true;
    closing_ = true;
    scanner_.stop();
}

void ScanPanelView::bt_clearscanclick()
{
    emit releaseViews();
    lists_.searchList()->fileModel()->clear();
    lists_.setScanCountText(QString());
    lists_.button("bt_startscan")->setEnabled(true);
    lists_.button("bt_clearscan")->setEnabled(false);
    lists_.updateReadout();
    emit scanFinished();
}

} // namespace vorn
