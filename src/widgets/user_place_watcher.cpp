#include "widgets/user_place_watcher.h"

#include <QApplication>
#include <QFocusEvent>
#include <QWidget>

namespace vorn
{

namespace
{

// The widget a click on w gives the focus to, as Qt picks it: w or the nearest parent inside
// its window that takes the focus by a click, through its focus proxy.
QWidget *clickFocusTarget(QWidget *w)
{
    for (; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        QWidget *f = w->focusProxy() ? w->focusProxy() : w;
        if (f->isEnabled() && (f->focusPolicy() & Qt::ClickFocus))
            return f;
    }
    return nullptr;
}

bool byTheUser(Qt::FocusReason r)
{
    return r == Qt::MouseFocusReason || r == Qt::TabFocusReason || r == Qt::BacktabFocusReason ||
           r == Qt::ShortcutFocusReason;
}

} // namespace

UserPlaceWatcher::UserPlaceWatcher(QWidget *anchor) : QObject(anchor), anchor_(anchor)
{
    qApp->installEventFilter(this);
}

bool UserPlaceWatcher::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type t = event->type();
    if ((t != QEvent::MouseButtonPress && t != QEvent::FocusIn) || !watched->isWidgetType())
        return false;
    auto *w = static_cast<QWidget *>(watched);
    if (w->window() != anchor_->window())
        return false;
    if (t == QEvent::FocusIn) {
        if (byTheUser(static_cast<QFocusEvent *>(event)->reason()))
            emit entered(w);
    } else if (QWidget *place = clickFocusTarget(w)) {
        emit entered(place);
    }
    return false;
}

} // namespace vorn
