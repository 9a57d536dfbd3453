#include "files/scan_panel_view.h"

#include "files/list_area_view.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorn
{

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

    fileMask_ = ctx_.filterText;
    connect(&ctx_, &AppContext::maskChanged, this, [this] { fileMask_ = ctx_.filterText; });
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

    const QString question = ctx_.msg(Msg::ScanAskFolder) + root.toUpper() + ctx_.msg(Msg::ScanAskType) +
                             fileMask_.toUpper() + ctx_.msg(Msg::ScanAskContinue);
    if (prompter.message(question, Answer::Yes | Answer::No, PromptIcon::Question) != Answer::Yes) {
        lists_.updateReadout();
        return;
    }

    emit releaseViews();
    lists_.tabs()->setCurrentIndex(1);
    closing_ = false;
    lastPattern_ = ctx_.scanPatterns.last();
    if (!job_.start(root, ctx_.scanPatterns))
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
    QList<FileEntry> entries;
    entries.reserve(paths.size());
    for (const QString &path : paths) {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        entries.append(FileEntry{path.mid(slash + 1), path.left(slash + 1), -1});
    }
    FileListModel *model = lists_.searchList()->fileModel();
    model->append(entries);
    lb_scanfound_->setText(ctx_.msg(Msg::Found) + QString::number(model->rowCount()));
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
    fileMask_ = lastPattern_;
    emit lockRequested(false);

    FileListModel *model = lists_.searchList()->fileModel();
    Prompter &prompter = ctx_.prompter();
    if (model->rowCount() > 0) {
        lists_.tabs()->setCurrentIndex(1);
        lb_scanoperation_->setText(ctx_.msg(Msg::OkMark));
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

void ScanPanelView::bt_clearscanclick()
{
    emit releaseViews();
    lists_.searchList()->fileModel()->clear();
    // The read-out of the emptied list (which also disables the slideshow buttons), then the
    // count text and the scan buttons of an idle search.
    lists_.updateReadout();
    lists_.setScanCountText(QString());
    lists_.setScanIdle();
    emit scanFinished();
}

} // namespace vorn
