#pragma once
#include <QString>
namespace vorn {
enum class FileKind { Picture, Video, Html, Zip, Other };
inline FileKind file_kind(const QString &name)
{
    const QString l = name.toLower();
    const qsizetype slash = l.lastIndexOf('/');
    const qsizetype dot = l.lastIndexOf('.');
    const QString ext = dot > slash ? l.mid(dot) : QString();
    for (const char *e : {".jpg", ".jpeg", ".jpe", ".bmp", ".wmf", ".ico", ".gif"})
        if (ext == QLatin1String(e)) return FileKind::Picture;
    for (const char *e : {".mpg", ".mpeg", ".avi"})
        if (ext == QLatin1String(e)) return FileKind::Video;
    if (ext == QLatin1String(".htm") || ext == QLatin1String(".html")) return FileKind::Html;
    if (ext == QLatin1String(".zip")) return FileKind::Zip;
    return FileKind::Other;
}
}
