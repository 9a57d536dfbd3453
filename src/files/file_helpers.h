// Small path, folder and text routines shared by every part of the program.
#pragma once

#include "base/native_names.h"
#include "base/paths.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace vorn
{

class DriveInfo;

// The names of a folder's entries (no "." and ".."), in the order the system lists them;
// `filesOnly` keeps plain files and links to them.
QStringList folder_entries(const QString &folder, bool filesOnly);

// The size of the file the path names (a link followed), -1 when there is none.
qint64 file_size(const QString &path);

// A path that ends with two separators loses the last one; any other path is returned as is.
QString drop_doubled_slash(const QString &path);

// Deletes every file of the folder for good (after make_writable), skipping files flagged
// system; subfolders stay, and so does a file that cannot be deleted, without a message.
// A symbolic link is removed itself; what it points to is not touched.
void clear_folder(const QString &folder, const DriveInfo &drives);
void clear_folder(const QString &folder);
// Creates temp, templates, zipdir, catalogs and help (one level each) when missing; failures
// are not reported, the operations that need a folder report their own errors later.
void create_working_folders(const Paths &paths);
// Deletes the files of zipdir, then temp, and removes each folder when it is empty.
void remove_working_folders(const Paths &paths);
// The number of "*.htm" files (not flagged system) in the folder; 0 when there is none.
int count_catalog_pages(const QString &tempDir);

// The text before the first '.', the whole name when it has none.
QString name_before_dot(const QString &name);
// The part of the rename pattern before the placeholder word; empty when it is not there.
QString text_before_placeholder(const QString &pattern, const QString &placeholder);
// When the pattern is not exactly as long as the placeholder word: the pattern after as many
// characters as storedPrefix and the placeholder word have together; empty otherwise.
QString text_after_placeholder(const QString &pattern, const QString &storedPrefix,
                               const QString &placeholder);
// Every occurrence of `from` replaced by `to`, left to right, replacements not rescanned;
// `from` is compared in lower case unless caseSensitive. An empty `from` changes nothing.
QString replace_all(const QString &text, const QString &from, const QString &to, bool caseSensitive);

// Sets the file's modification time to the given date and time (local time, whole seconds;
// the access time stays). False when the file is missing or the time cannot be set. With
// onLink, a symbolic link gets the time itself and what it points to is not touched.
bool set_modification_time(const QString &path, const QDateTime &localTime, bool onLink = false);

} // namespace vorn
