// The kind of a file, decided by its lower-cased extension; every view and list routes by it.
#pragma once

#include <QString>

namespace vorn
{

enum class FileKind { Picture, Video, Html, Zip, Other };

// The extension of a file name or path: from the last "." of the name (not of a folder) on,
// lower-cased; empty when the name has no ".".
QString file_extension(const QString &nameOrPath);

// The kind by extension, tested in the order picture, video, HTML, ZIP; anything else is Other.
FileKind file_kind(const QString &nameOrPath);

} // namespace vorn
