// The freedesktop.org trash: the home trash ($XDG_DATA_HOME/Trash) for files on its file
// system, $topdir/.Trash/$uid or $topdir/.Trash-$uid for files on other mounts. A file is only
// ever renamed into a trash on its own file system; where none can take it, nothing happens.
#pragma once

#include "files/file_ops.h"

namespace vorn
{

// Moves the file (or folder) into the trash with its .trashinfo; newPath is its place there.
// Fails, leaving the file where it is, when no trash on its file system can take it.
FileOpResult move_to_desktop_trash(const QString &path);

} // namespace vorn
