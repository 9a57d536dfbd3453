#include "files/scan_panel_view.h"

#include "files/active_list.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorn
{

ScanPanelView::ScanPanelView(AppContext &ctx, ActiveList &searchList, std::function<QString()> treeFolder,
                             QFrame *over)
    : QFrame(over), ctx_(ctx), searchList_(searchList), treeFolder_(std::move(treeFolder))
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

    connect(&ctx_, &AppContext::filterChanged, this, [this] { lastPattern_.clear(); });
    // The walk runs on a worker; found files arrive here in batches, in order.
    job_.confirmCancel = [this] { return askCancel(); };
    connect(&job_, &TreeScanJob::filesAdded, this, &ScanPanelView::tsfilefound);
    connect(&job_, &TreeScanJob::finished, this, &ScanPanelView::finish);
}

void ScanPanelView::centreInParent()
{
    if (QWidget *p = parentWidget())
        move((p->width() - width()) / 2, (p->height() - height()) / 2);
    raise();
}

void ScanPanelView::bt_startscanclick()
{
    if (job_.isRunning())
        return;
    Prompter &prompter = ctx_.prompter();
    const QString root = treeFolder_();
    if (root.isEmpty()) {
        prompter.info(ctx_.msg(Msg::ScanSelectDrive));
        return;
    }
    const Filter &filter = ctx_.filter();
    if (filter.isAllFiles() || filter.patterns.isEmpty()) {
        prompter.info(ctx_.msg(Msg::ScanNoStarDotStar));
        return;
    }
    emit pictureViewRequested();
    emit releaseViews();
    searchList_.clear();
    lb_scanfound_->clear();
    lb_scanoperation_->clear();

    const QString question = ctx_.msg(Msg::ScanAskFolder) + root.toUpper() + ctx_.msg(Msg::ScanAskType) +
                             fileMask().toUpper() + ctx_.msg(Msg::ScanAskContinue);
    if (prompter.message(question, Answer::Yes | Answer::No, PromptIcon::Question) != Answer::Yes) {
        searchList_.updateReadout();
        return;
    }

    emit releaseViews();
    searchList_.bringToFront();
    closing_ = false;
    searchingPattern_ = filter.patterns.last();
    if (!job_.start(root, filter.patterns))
        return;
    emit lockRequested(true);
    window()->setCursor(Qt::WaitCursor);
    centreInParent();
    show();
    gauge_->setEnabled(true);
    lb_scanoperation_->setText(ctx_.msg(Msg::Searching));
}

void ScanPanelView::tsfilefound(const QStringList &paths)
{
    searchList_.append(paths);
    lb_scanfound_->setText(ctx_.msg(Msg::Found) + QString::number(searchList_.count()));
    lb_scanoperation_->setText(ctx_.msg(Msg::Searching));
}

bool ScanPanelView::askCancel()
{
    // The worker waits at its next folder while the question is open.
    gauge_->setEnabled(false);
    const bool abort = ctx_.prompter().message(ctx_.msg(Msg::AbortQuestion), Answer::Yes | Answer::No,
                                               PromptIcon::Question) == Answer::Yes;
    gauge_->setEnabled(!abort);
    return abort;
}

void ScanPanelView::finish()
{
    hide();
    gauge_->setEnabled(false);
    window()->unsetCursor();
    // The next start question names the last pattern searched, until the filter changes.
    lastPattern_ = searchingPattern_;
    emit lockRequested(false);

    const int found = searchList_.count();
    Prompter &prompter = ctx_.prompter();
    if (found > 0) {
        searchList_.bringToFront();
        lb_scanoperation_->setText(ctx_.msg(Msg::OkMark));
        searchList_.setFoundText(ctx_.msg(Msg::Found) + QString::number(found));
        if (!closing_)
            prompter.info(ctx_.msg(Msg::ScanDone));
    } else {
        if (!closing_)
            prompter.info(ctx_.msg(Msg::ScanNothingFound));
        searchList_.setFoundText(QString());
    }
    searchList_.updateButtons();
    emit scanFinished();
}

void ScanPanelView::bt_exitscanclick()
{
    job_.requestCancel();
}

void ScanPanelView::abortScan()
{
    if (!job_.isRunning())
        return;
    closing_ = true;
    job_.stop();
}

} // namespace vorn
