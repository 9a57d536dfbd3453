#include "widgets/tool_row.h"

#include "widgets/collapsible_toolbar.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorn
{

QWidget *add_tool_row(CollapsibleToolBar *bar, const QString &name, int rowHeight)
{
    auto *row = new QWidget(bar->content());
    row->setObjectName(name);
    row->setFixedHeight(rowHeight + 2);
    auto *lay = new QHBoxLayout(row);
    lay->setContentsMargins(2, 1, 2, 1);
    lay->setSpacing(1);
    bar->contentLayout()->addWidget(row);
    return row;
}

QToolButton *add_tool_button(QWidget *row, const char *name, const QIcon &icon, bool checkable)
{
    auto *b = new QToolButton(row);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(icon);
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(row->height() + 1, row->height() - 2);
    row->layout()->addWidget(b);
    return b;
}

} // namespace vorn
