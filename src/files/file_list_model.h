// The entries of a file list (the folder list and the search list): name, folder and size,
// sorted without regard to case for a folder; filled from a worker thread in one batch.
#pragma once

#include "base/job.h"

#include <QAbstractTableModel>
#include <functional>
#include <memory>

namespace vorn
{

struct FileEntry {
    QString name;
    QString folder; // with trailing '/'
    qint64 size = -1;

    QString fullPath() const { return folder + name; }
};

// Lists the files of one folder that are listed (not hidden, not system) and accepted by
// `accept` (given the lower-cased name), sorted by name without regard to case.
// Runs on any thread.
QList<FileEntry> list_folder(const QString &folder, const std::function<bool(const QString &)> &accept);

class FileListModel : public QAbstractTableModel
{
    Q_OBJECT
  public:
    enum Column { NameColumn = 0, FolderColumn = 1 };

    explicit FileListModel(QObject *parent = nullptr);
    ~FileListModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

    // Lists a folder in the background; `listed()` follows when the entries are in.
    // A newer call supersedes an older one that has not finished.
    void setFolder(const QString &folder, std::function<bool(const QString &)> accept);
    QString folder() const { return folder_; }
    bool isListing() const { return lister_.isRunning(); }

    void append(const QList<FileEntry> &entries);
    void clear();
    void removeEntries(QList<int> rows);
    void setEntryName(int row, const QString &name);
    const FileEntry &entry(int row) const { return entries_[row]; }
    const QList<FileEntry> &entries() const { return entries_; }

    // In-place editing of names is allowed only while this is on.
    void setEditable(bool on) { editable_ = on; }
    bool isEditable() const { return editable_; }

  signals:
    void listed();
    // The user typed a new name for a row; the owner renames the file and then calls
    // setEntryName on success.
    void renameRequested(int row, const QString &newName);

  private:
    QList<FileEntry> entries_;
    QString folder_;
    bool editable_ = false;
    // The background listing; a newer listing, a clear or an immediate listing cancels it.
    Job lister_;
};

} // namespace vorn
