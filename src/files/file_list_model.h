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
// Runs on any thread. With `first`, the first `firstCount` entries of the result are handed to
// it (on the listing thread) as soon as they are known, before the attributes of the rest are
// read: a large folder shows its first screenful early.
QList<FileEntry> list_folder(const QString &folder, const std::function<bool(const QString &)> &accept,
                             const std::function<void(const QList<FileEntry> &)> &first = {},
                             int firstCount = 0);

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

    // Lists a folder in the background: the first screenful comes in as one reset, the rest
    // as one insertion after it; `listed()` follows when all entries are in. A newer call
    // supersedes an older one that has not finished.
    void setFolder(const QString &folder, std::function<bool(const QString &)> accept);
    QString folder() const { return folder_; }
    bool isListing() const { return lister_.isRunning(); }

    void append(const QList<FileEntry> &entries);
    void clear();
    void removeEntries(QList<int> rows);
    void setEntryName(int row, const QString &name);
    const FileEntry &entry(int row) const { return entries_[row]; }
    const QList<FileEntry> &entries() const { return entries_; }

    // How many entries a listing hands out before the rest of the folder is checked.
    static constexpr int kFirstScreenful = 200;

    // In-place editing of names is allowed only while this is on.
    void setEditable(bool on) { editable_ = on; }
    bool isEditable() const { return editable_; }

  signals:
    void listed();
    // The user typed a new name for a row; the owner renames the file and then calls
    // setEntryName on success.
    void renameRequested(int row, const QString &newName);

  private:
    void showFirst(const QList<FileEntry> &screen);

    QList<FileEntry> entries_;
    qsizetype firstShown_ = -1; // entries of the running listing shown so far; -1: none
    QString folder_;
    bool editable_ = false;
    // The background listing; a newer listing, a clear or an immediate listing cancels it.
    Job lister_;
};

} // namespace vorn
