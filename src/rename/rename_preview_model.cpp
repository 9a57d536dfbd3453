#include "rename/rename_preview_model.h"

#include "files/file_helpers.h"

#include <QBrush>
#include <QColor>

namespace vorn
{

namespace
{

bool refused(RowCheck c)
{
    return c != RowCheck::Rename && c != RowCheck::Same && c != RowCheck::Empty;
}

} // namespace

int RenamePreviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int RenamePreviewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant RenamePreviewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    const RenameRow &r = rows_[index.row()];
    const RowCheck c = check_.rows.value(index.row(), RowCheck::Empty);
    switch (role) {
    case Qt::DisplayRole:
        return shown_name(index.column() == 0 ? r.oldName : r.newName);
    case Qt::BackgroundRole:
        return refused(c) ? QVariant(QBrush(QColor(255, 205, 205))) : QVariant();
    case Qt::ForegroundRole:
        return refused(c) ? QVariant(QBrush(QColor(140, 0, 0))) : QVariant();
    case Qt::ToolTipRole:
        return refused(c) ? QVariant(reasons_.value(int(c))) : QVariant();
    }
    return {};
}

QVariant RenamePreviewModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && role == Qt::DisplayRole)
        return titles_.value(section);
    return QAbstractTableModel::headerData(section, o, role);
}

bool RenamePreviewModel::setHeaderData(int section, Qt::Orientation o, const QVariant &value, int role)
{
    if (o != Qt::Horizontal || role != Qt::EditRole || section < 0 || section > 1)
        return false;
    titles_[section] = value.toString();
    emit headerDataChanged(o, section, section);
    return true;
}

void RenamePreviewModel::setPreview(const QList<RenameRow> &rows, const RenameCheck &check)
{
    beginResetModel();
    rows_ = rows;
    check_ = check;
    endResetModel();
}

void RenamePreviewModel::discard()
{
    beginResetModel();
    for (RenameRow &r : rows_)
        r = RenameRow{};
    check_ = RenameCheck{};
    endResetModel();
}

bool RenamePreviewModel::hasPreview() const
{
    for (const RenameRow &r : rows_)
        if (!r.oldName.isEmpty())
            return true;
    return false;
}

} // namespace vorn
