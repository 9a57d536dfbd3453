// File names as the file system holds them: bytes that need not be UTF-8. A path keeps them in
// a QString: valid UTF-8 decodes as usual, and each byte that is not part of valid UTF-8 becomes
// the lone surrogate U+DC00 + byte, so that native_path() gives back exactly those bytes. Qt's
// own file classes would turn such a name into another one: act on a path only through these.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace vorn
{

QString path_from_native(const QByteArray &bytes);
// The bytes for the system's calls; empty when the path cannot name a file (empty, an embedded
// NUL, a lone surrogate that stands for no byte).
QByteArray native_path(const QString &path);
// The name as shown to the user: kept bytes appear as replacement characters.
QString shown_name(const QString &path);
// What a path names (a link followed); exists is false when nothing does.
struct PathInfo {
    bool exists = false;
    bool isDir = false;
    bool isFile = false; // a plain file
    qint64 size = -1;
    qint64 mtimeNs = 0;
};
PathInfo path_info(const QString &path);

// Opens the file the path names (its exact bytes) into `file`, which then owns the descriptor;
// false with errno set when it cannot be opened. Reading opens no FIFO or device for good: a
// non-blocking open, switched back to blocking once it is open.
bool open_native(QFile &file, const QString &path, QIODevice::OpenMode mode);

} // namespace vorn
