// The files of the rename view's folder: every file (read-only, hidden and system ones too),
// no folders, with name, type, modification time and attributes. Names can be edited in place:
// the model asks its owner to rename the file.
#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QList>

namespace vorn
{

struct RenameFileEntry {
    QString name;    // the file system's bytes as path_from_native() keeps them; shown_name() shows it
    QString sortKey; // the name in lower case
    QDateTime modified;
    quint32 attributes = 0;
};

// The files of a folder, in no particular order. Runs on any thread.
QList<RenameFileEntry> list_rename_folder(const QString &folder);
// "R", "H", "S", "A" for the set attributes, in that order.
QString attribute_letters(quint32 attributes);

class RenameListModel : public QAbstractTableModel
{
    Q_OBJECT
  public:
    enum Column { NameColumn, TypeColumn, ModifiedColumn, AttributesColumn, ColumnCount };
    // The value a column sorts by (the time as a number, names without regard to case).
    static constexpr int SortRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    bool setHeaderData(int section, Qt::Orientation o, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

    // Lists the folder (empty: no folder) in one reset.
    void setFolder(const QString &folder);
    // Lists the same folder again: the list shows what is on disk.
    void refresh() { setFolder(folder_); }
    const QString &folder() const { return folder_; }
    const RenameFileEntry &entry(int row) const { return entries_[row]; }
    int count() const { return int(entries_.size()); }

  signals:
    // The user typed a new name for a row.
    void renameRequested(int row, const QString &newName);

  private:
    QString folder_;
    QList<RenameFileEntry> entries_;
    QStringList titles_;
};

} // namespace vorn
