#include "app/view_stack_view.h"

#include <QFrame>
#include <QVBoxLayout>

namespace vorn
{

namespace
{
constexpr View kViews[] = {View::Empty, View::Pictures, View::Video,   View::Html, View::Text,
                           View::Zip,   View::Rename,   View::Catalog, View::Help};
}

QString ViewStack::panelName(View v)
{
    switch (v) {
    case View::Empty:
        return QStringLiteral("pn_main");
    case View::Pictures:
        return QStringLiteral("pn_viewmain");
    case View::Video:
        return QStringLiteral("pn_videomain");
    case View::Html:
        return QStringLiteral("pn_htmlmain");
    case View::Text:
        return QStringLiteral("pn_textmain");
    case View::Zip:
        return QStringLiteral("pn_zipmain");
    case View::Rename:
        return QStringLiteral("pn_renamemain");
    case View::Catalog:
        return QStringLiteral("pn_catalogmain");
    case View::Help:
        return QStringLiteral("pn_helpmain");
    }
    return {};
}

ViewStack::ViewStack(QWidget *parent) : QStackedWidget(parent)
{
    setObjectName(QStringLiteral("pn_views"));
    for (View v : kViews) {
        auto *f = new QFrame(this);
        f->setObjectName(panelName(v));
        f->setFrameShape(QFrame::NoFrame);
        f->setProperty("view", int(v));
        auto *lay = new QVBoxLayout(f);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->setSpacing(0);
        // The first child of the panel: views that are not widgets go before the controls
        // they build, and so before them when the panel is torn down.
        owners_.append(new QObject(f));
        addWidget(f);
    }
    bringToFront(View::Empty);
}

QFrame *ViewStack::panel(View v) const
{
    return qobject_cast<QFrame *>(
        widget(int(std::find(std::begin(kViews), std::end(kViews), v) - std::begin(kViews))));
}

QObject *ViewStack::owner(View v) const
{
    return owners_.value(indexOf(panel(v)));
}

void ViewStack::bringToFront(View v)
{
    setCurrentWidget(panel(v));
}

View ViewStack::front() const
{
    auto *w = currentWidget();
    return w ? View(w->property("view").toInt()) : View::Empty;
}

} // namespace vorn
