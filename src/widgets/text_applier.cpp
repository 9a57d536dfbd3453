#include "widgets/text_applier.h"

#include "lang/texts.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>

namespace vorn
{

namespace
{

void setCaption(QWidget *w, const QString &text)
{
    // A tab page's caption is its tab's text.
    if (auto *stack = w->parentWidget())
        if (auto *tabs = qobject_cast<QTabWidget *>(stack->parentWidget())) {
            const int i = tabs->indexOf(w);
            if (i >= 0) {
                tabs->setTabText(i, text);
                return;
            }
        }
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        b->setText(text);
    else if (auto *l = qobject_cast<QLabel *>(w))
        l->setText(text);
    else if (auto *g = qobject_cast<QGroupBox *>(w))
        g->setTitle(text);
    else
        w->setWindowTitle(text);
}

void setColumns(QWidget *w, const QStringList &titles)
{
    if (auto *t = qobject_cast<QTableWidget *>(w)) {
        for (int i = 0; i < titles.size() && i < t->columnCount(); ++i) {
            auto *item = t->horizontalHeaderItem(i);
            if (!item)
                t->setHorizontalHeaderItem(i, item = new QTableWidgetItem);
            item->setText(titles[i]);
        }
    } else if (auto *tw = qobject_cast<QTreeWidget *>(w)) {
        tw->setHeaderLabels(titles);
    } else if (auto *view = qobject_cast<QAbstractItemView *>(w)) {
        if (QAbstractItemModel *m = view->model())
            for (int i = 0; i < titles.size() && i < m->columnCount(); ++i)
                m->setHeaderData(i, Qt::Horizontal, titles[i]);
    }
}

void applyTo(QWidget *w, const Texts &texts)
{
    const QString name = w->objectName();
    if (name.isEmpty())
        return;
    const QString caption = texts.caption(name);
    if (!caption.isNull())
        setCaption(w, caption);
    const QString hint = texts.hint(name);
    if (!hint.isNull())
        w->setToolTip(hint);
    const QStringList columns = texts.columns(name);
    if (!columns.isEmpty())
        setColumns(w, columns);
}

} // namespace

void apply_control_texts(QWidget *root, const Texts &texts)
{
    applyTo(root, texts);
    const auto children = root->findChildren<QWidget *>();
    for (QWidget *w : children)
        applyTo(w, texts);
    const auto actions = root->findChildren<QAction *>();
    for (QAction *a : actions) {
        const QString name = a->objectName();
        if (name.isEmpty())
            continue;
        const QString caption = texts.caption(name);
        if (!caption.isNull())
            a->setText(caption);
        const QString hint = texts.hint(name);
        if (!hint.isNull())
            a->setToolTip(hint);
    }
}

} // namespace vorn
