// Small path and folder routines shared by every part of the program.
#pragma once

#include <QString>

namespace vorn {

// The path with exactly one trailing separator; an empty path stays empty.
QString add_backslash(const QString &path);
// Deletes every file of the folder for good (not its subfolders); files that cannot be
// deleted stay, without a message.
void clear_folder(const QString &folder);

} // namespace vorn
