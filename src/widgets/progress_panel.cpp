#include "widgets/progress_panel.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorn
{

namespace
{
constexpr int kShowDelayMs = 300;
constexpr int kSteps = 1000; // the bar's range; byte counts do not fit an int

bool isUserInput(QEvent::Type t)
{
    switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}
} // namespace

ProgressPanel::ProgressPanel(const QString &name, QWidget *parent) : QFrame(parent)
{
    setObjectName(name);
    setFixedSize(340, 150);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(16, 12, 16, 10);
    title_ = new QLabel(this);
    title_->setObjectName(name + QStringLiteral("_title"));
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    item_ = new QLabel(this);
    item_->setObjectName(name + QStringLiteral("_item"));
    item_->setTextFormat(Qt::PlainText);
    item_->setMinimumWidth(1); // a long name is cut, never widens the panel
    bar_ = new QProgressBar(this);
    bar_->setObjectName(name + QStringLiteral("_gauge"));
    bar_->setTextVisible(false);
    bar_->setFixedHeight(14);
    cancel_ = new QToolButton(this);
    cancel_->setObjectName(name + QStringLiteral("_cancel"));
    cancel_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    cancel_->setMinimumWidth(110);
    connect(cancel_, &QToolButton::clicked, this, [this] {
        cancel_->setEnabled(false);
        emit cancelClicked();
    });
    lay->addWidget(title_);
    lay->addWidget(item_);
    lay->addStretch(1);
    lay->addWidget(bar_);
    lay->addWidget(cancel_, 0, Qt::AlignHCenter);

    showTimer_ = new QTimer(this);
    showTimer_->setSingleShot(true);
    showTimer_->setInterval(kShowDelayMs);
    connect(showTimer_, &QTimer::timeout, this, &ProgressPanel::appear);
    if (parent)
        parent->installEventFilter(this);
    hide();
}

void ProgressPanel::setShowDelay(int ms)
{
    showTimer_->setInterval(ms);
}

void ProgressPanel::begin(const QString &title, const QString &cancelText)
{
    if (running_)
        return;
    running_ = true;
    focusBefore_ = window()->focusWidget();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    qApp->installEventFilter(this);
    title_->setText(title);
    item_->clear();
    cancel_->setText(cancelText);
    cancel_->setEnabled(true);
    bar_->setRange(0, 0);
    showTimer_->start();
}

void ProgressPanel::setProgress(qint64 done, qint64 total, const QString &item)
{
    if (total > 0) {
        bar_->setRange(0, kSteps);
        bar_->setValue(int(qBound(qint64(0), done * kSteps / total, qint64(kSteps))));
    } else {
        bar_->setRange(0, 0);
    }
    item_->setText(item_->fontMetrics().elidedText(item, Qt::ElideMiddle, item_->width()));
}

void ProgressPanel::end()
{
    if (!running_)
        return;
    running_ = false;
    showTimer_->stop();
    hide();
    qApp->removeEventFilter(this);
    if (locked_ && lock_)
        lock_(false);
    locked_ = false;
    if (focusBefore_ && focusBefore_->isEnabled() && focusBefore_->isVisible())
        focusBefore_->setFocus();
    focusBefore_.clear();
    QApplication::restoreOverrideCursor();
}

void ProgressPanel::appear()
{
    if (!running_)
        return;
    // A long run: the lock-out takes over from setting the input aside.
    qApp->removeEventFilter(this);
    locked_ = true;
    if (lock_)
        lock_(true);
    centre();
    show();
    raise();
}

void ProgressPanel::centre()
{
    if (QWidget *p = parentWidget())
        move((p->width() - width()) / 2, (p->height() - height()) / 2);
}

bool ProgressPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        centre();
    // Before the panel shows, the window's input is set aside: nothing else starts meanwhile.
    if (running_ && !locked_ && isUserInput(event->type()) && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == window()) {
        if (event->type() == QEvent::ShortcutOverride)
            event->accept(); // taken here, so no shortcut of the window fires either
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace vorn
