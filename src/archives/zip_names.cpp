#include "archives/zip_names.h"

namespace vorn
{

ZipNameCheck check_entry_name(const QString &name)
{
    ZipNameCheck out;
    if (name.isEmpty())
        return out;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            out.verdict = ZipNameVerdict::BadChar;
            return out;
        }
    }
    if (name.front() == QLatin1Char('/') || name.front() == QLatin1Char('\\') ||
        (name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter())) {
        out.verdict = ZipNameVerdict::Absolute;
        return out;
    }
    QString unified = name;
    unified.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool folder = unified.endsWith(QLatin1Char('/'));
    const QStringList raw = unified.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : raw) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            out.verdict = ZipNameVerdict::ParentStep;
            out.parts.clear();
            return out;
        }
        if (part.toUtf8().size() > 255) {
            out.verdict = ZipNameVerdict::TooLong;
            out.parts.clear();
            return out;
        }
        out.parts << part;
    }
    if (out.parts.isEmpty()) // "./" and the like: nothing that could be written
        return out;
    // the whole relative path, with its separators and the end NUL, within the system's
    // PATH_MAX (4096 bytes); longer ones could not be written below any folder
    qsizetype bytes = 0;
    for (const QString &part : std::as_const(out.parts))
        bytes += part.toUtf8().size() + 1;
    if (bytes > 4096) {
        out.verdict = ZipNameVerdict::TooLong;
        out.parts.clear();
        return out;
    }
    out.verdict = folder ? ZipNameVerdict::Folder : ZipNameVerdict::Ok;
    return out;
}

} // namespace vorn
