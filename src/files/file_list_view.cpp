#include "files/file_list_view.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace vorn
{

FileListView::FileListView(const QString &name, FileListModel *model, QWidget *parent)
    : QTreeView(parent), model_(model)
{
    setObjectName(name);
    setModel(model);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setAllColumnsShowFocus(true);
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(0, QHeaderView::Interactive);
    setTextElideMode(Qt::ElideMiddle);
}

QList<int> FileListView::selectedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex &i : selectionModel()->selectedRows(0))
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

int FileListView::currentRow() const
{
    const QModelIndex c = currentIndex();
    if (c.isValid())
        return c.row();
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

void FileListView::selectRow(int row)
{
    if (row < 0 || row >= count())
        return;
    const QModelIndex i = model_->index(row, 0);
    selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(i, QAbstractItemView::EnsureVisible);
}

void FileListView::keyPressEvent(QKeyEvent *event)
{
    if (isEditingName()) {
        QTreeView::keyPressEvent(event);
        return;
    }
    const auto mods = event->modifiers();
    switch (event->key()) {
    case Qt::Key_Delete:
        if (selectedCount() > 0)
            emit deleteRequested();
        return;
    case Qt::Key_Home:
        if (count() > 0) {
            selectRow(0);
            emit itemClicked();
        }
        return;
    case Qt::Key_End:
        if (count() > 0) {
            selectRow(count() - 1);
            emit itemClicked();
        }
        return;
    case Qt::Key_A:
        if (mods & Qt::ControlModifier) {
            selectAll();
            return;
        }
        break;
    case Qt::Key_Control:
    case Qt::Key_Shift:
        if (stepping_ && *stepping_ && count() > 0) {
            const int cur = currentRow();
            const int next = event->key() == Qt::Key_Control ? qMin(cur + 1, count() - 1) : qMax(cur - 1, 0);
            selectRow(next);
            emit itemClicked();
            return;
        }
        break;
    default:
        break;
    }
    QTreeView::keyPressEvent(event);
}

void FileListView::keyReleaseEvent(QKeyEvent *event)
{
    QTreeView::keyReleaseEvent(event);
    if (event->key() == Qt::Key_Delete || count() == 0 || isEditingName())
        return;
    const int selected = selectedCount();
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (selected >= 1 && selected < 2 && !event->isAutoRepeat()) {
            emit navigated(currentRow());
            return;
        }
        break;
    default:
        break;
    }
    emit positionChanged();
}

void FileListView::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeView::mouseReleaseEvent(event);
    if (indexAt(event->position().toPoint()).isValid())
        emit itemClicked();
}

} // namespace vorn
