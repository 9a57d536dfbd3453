#include "widgets/collapsible_toolbar.h"

#include "widgets/theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorn
{

CollapsibleToolBar::CollapsibleToolBar(const QString &name, const QString &titleName, QWidget *parent)
    : QFrame(parent)
{
    setObjectName(name);
    setFrameShape(QFrame::NoFrame);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto *strip = new QWidget(this);
    strip->setObjectName(name + QStringLiteral("_strip"));
    strip->setProperty("titleStrip", true);
    strip->setFixedHeight(15);
    auto *stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(4, 0, 0, 0);
    stripLayout->setSpacing(2);
    title_ = new QLabel(strip);
    title_->setObjectName(titleName);
    title_->setProperty("titleLabel", true);
    title_->setCursor(Qt::PointingHandCursor);
    title_->installEventFilter(this);
    QFont f = title_->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 0.85);
    title_->setFont(f);
    QPalette tp = title_->palette();
    tp.setColor(QPalette::WindowText, title_text_color(true));
    title_->setPalette(tp);
    toggle_ = new QToolButton(strip);
    toggle_->setObjectName(name + QStringLiteral("_toggle"));
    toggle_->setAutoRaise(true);
    toggle_->setFixedSize(15, 13);
    toggle_->setArrowType(Qt::UpArrow);
    toggle_->setFocusPolicy(Qt::NoFocus);
    connect(toggle_, &QToolButton::clicked, this, [this] { collapsed_ ? restore() : collapse(); });
    stripLayout->addWidget(title_, 1);
    stripLayout->addWidget(toggle_);

    content_ = new QWidget(this);
    content_->setObjectName(name + QStringLiteral("_content"));
    contentLayout_ = new QVBoxLayout(content_);
    contentLayout_->setContentsMargins(0, 0, 0, 0);
    contentLayout_->setSpacing(0);

    outer->addWidget(strip);
    outer->addWidget(content_, 1);
}

void CollapsibleToolBar::addContent(QWidget *widget)
{
    contentLayout_->addWidget(widget);
}

void CollapsibleToolBar::collapse()
{
    if (collapsed_)
        return;
    collapsed_ = true;
    content_->hide();
    toggle_->setArrowType(Qt::DownArrow);
    emit collapsed();
}

void CollapsibleToolBar::restore()
{
    if (!collapsed_)
        return;
    collapsed_ = false;
    content_->show();
    toggle_->setArrowType(Qt::UpArrow);
    emit restored();
}

bool CollapsibleToolBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == title_ && event->type() == QEvent::MouseButtonRelease) {
        if (titleToggles_ && !collapsed_)
            collapse();
        else
            restore();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace vorn
