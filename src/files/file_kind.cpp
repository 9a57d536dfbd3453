#include "files/file_kind.h"

#include "codecs/picture_kinds.h"

#include <array>

namespace vorn
{

namespace
{

struct KindRow {
    FileKind kind;
    std::array<const char *, 9> extensions; // nullptr-padded
};

// Pictures come from the kind table of the decoders. Videos: the described kinds, then the
// containers of today's videos.
const std::array<KindRow, 3> kKinds = {{
    {FileKind::Video, {".mpg", ".mpeg", ".avi", ".mp4", ".m4v", ".mkv", ".webm", ".mov", ".wmv"}},
    {FileKind::Html, {".htm", ".html"}},
    {FileKind::Zip, {".zip"}},
}};

} // namespace

QString file_extension(const QString &nameOrPath)
{
    const qsizetype slash = nameOrPath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = nameOrPath.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return QString();
    return nameOrPath.mid(dot).toLower();
}

FileKind file_kind(const QString &nameOrPath)
{
    const QString ext = file_extension(nameOrPath);
    if (ext.isEmpty())
        return FileKind::Other;
    if (picture_kind(ext) != PictureKind::Unknown)
        return FileKind::Picture;
    for (const KindRow &row : kKinds)
        for (const char *e : row.extensions)
            if (e && ext == QLatin1String(e))
                return row.kind;
    return FileKind::Other;
}

} // namespace vorn
