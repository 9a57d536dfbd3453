#include "archives/zip_browser.h"

#include "codecs/picture_kinds.h"

#include "lang/date_format.h"
#include "lang/texts.h"

#include <QLocale>
#include <limits>

namespace vorn
{

int zip_ratio(quint64 packed, quint64 size)
{
    if (size == 0 || packed >= size)
        return 0;
    return int((size - packed) * 100 / size);
}

QList<QStringList> zip_grid_rows(const std::vector<ZipEntry> &entries, int language)
{
    QList<QStringList> rows;
    rows.reserve(qsizetype(entries.size()));
    const QLocale locale = QLocale::system();
    for (size_t i = 0; i < entries.size(); ++i) {
        const ZipEntry &e = entries[i];
        if (e.folder)
            continue;
        const QString name = e.key;
        QString path = name;
        path.replace(QLatin1Char('/'), QLatin1Char('\\'));
        const qsizetype cut =
            std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char(':')));
        const QString fileName = path.mid(cut + 1);
        if (fileName.isEmpty())
            continue; // a folder entry
        const QDate date = e.date();
        const QTime clock = e.clock();
        const QString time = date.isValid() && clock.isValid()
                                 ? format_date(date, language) + QStringLiteral("   ") +
                                       locale.toString(clock, QLocale::ShortFormat)
                                 : QString();
        rows.append({fileName, QString::number(e.packed), QString::number(e.size),
                     QString::number(zip_ratio(e.packed, e.size)) + QStringLiteral(" %"), time, path, name,
                     QString::number(i)});
    }
    return rows;
}

ZipButtonStates zip_button_states(const ZipButtonInput &in)
{
    ZipButtonStates s;
    const bool anyOpen = in.lastSlot >= 0;
    s.add = in.zipMode && !in.extractMode;
    s.extract = in.zipMode && !in.packMode;
    s.open = in.extractMode && !in.lock;
    s.extractTo = true;
    s.addFile = in.zipMode && in.lastSlot == 0;
    s.remove = in.lastSlot == 0 && in.hasCurrent;
    s.startApp = anyOpen && in.hasCurrent;
    s.close = anyOpen;
    s.zipInZip = s.htmlSource = in.pictureMode && anyOpen;
    s.copy = in.canCopy;
    return s;
}

QString zip_pack_path(const QString &zipName)
{
    const qsizetype cut =
        std::max(zipName.lastIndexOf(QLatin1Char('/')), zipName.lastIndexOf(QLatin1Char(':')));
    const QString folder = zipName.left(cut + 1);
    QString name = zipName.mid(cut + 1);
    if (name.trimmed().isEmpty())
        return {};
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return {};
    return folder + name + QStringLiteral(".zip");
}

ZipPreviewKind zip_preview_kind(const QString &fileName, bool zipInZipDown)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot >= 0 ? fileName.mid(dot).toLower() : QString();
    static const QStringList text = {".txt", ".me",  ".1st", ".pas", ".cpp",  ".h",   ".rc",  ".wri", ".rtf",
                                     ".cgi", ".ini", ".diz", ".bat", ".sys",  ".inf", ".cfg", ".cnt", ".lst",
                                     ".reg", ".iws", ".log", ".scp", ".java", ".js",  ".css"};
    if (ext.isEmpty() || text.contains(ext))
        return ZipPreviewKind::Text;
    if (const PictureKind picture = picture_kind(ext); picture != PictureKind::Unknown)
        return is_animated_kind(picture) ? ZipPreviewKind::Animation : ZipPreviewKind::Picture;
    if (ext == QLatin1String(".htm") || ext == QLatin1String(".html"))
        return ZipPreviewKind::Html;
    if (QStringList{".mpeg", ".mpg", ".avi"}.contains(ext))
        return ZipPreviewKind::Video;
    if (ext == QLatin1String(".zip") && !zipInZipDown)
        return ZipPreviewKind::Zip;
    return ZipPreviewKind::Hex;
}

namespace
{

QString sizeText(const QString &bytes)
{
    // figures beyond what formattedDataSize takes (declared sizes of a hostile archive)
    const quint64 n = bytes.toULongLong();
    if (n > quint64(std::numeric_limits<qint64>::max()))
        return QLocale::system().toString(double(n) / double(quint64(1) << 60), 'f', 1) +
               QStringLiteral(" EB");
    return QLocale::system().formattedDataSize(qint64(n), 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

QString zip_problem_text(const ZipProblem &p, const Texts &texts)
{
    const QString detail =
        p.detail.isEmpty() ? QString() : QStringLiteral(" (") + p.detail + QLatin1Char(')');
    const QStringList figures = p.detail.split(QLatin1Char('|'));
    switch (p.issue) {
    case ZipIssue::None:
        return {};
    case ZipIssue::NotZip:
        return texts.msg(Msg::ZipNoValidEntries) + QStringLiteral(": ") + p.entry;
    case ZipIssue::ReadError:
        return texts.msg(Msg::ZipReadError) + QStringLiteral(": ") + p.entry + detail;
    case ZipIssue::UnsafeName:
        return texts.msg(Msg::ZipUnsafeName) + p.entry;
    case ZipIssue::BadName:
        return texts.msg(Msg::ZipBadName) + p.entry;
    case ZipIssue::Exists:
        return texts.msg(Msg::ZipExists) + p.entry;
    case ZipIssue::PathBlocked:
        return texts.msg(Msg::ZipPathBlocked) + p.entry + detail;
    case ZipIssue::Overlap:
        return texts.msg(Msg::ZipOverlap) + p.entry;
    case ZipIssue::RatioLimit: {
        const QStringList r = p.detail.split(QLatin1String(" > "));
        return texts.msg(Msg::ZipRatioLimit).arg(r.value(0), r.value(1).section(QLatin1Char(':'), 0, 0)) +
               p.entry;
    }
    case ZipIssue::TotalLimit:
        return texts.msg(Msg::ZipTotalLimit).arg(sizeText(figures.value(0)), sizeText(figures.value(1)));
    case ZipIssue::NoSpace:
        return texts.msg(Msg::ZipNoSpace).arg(sizeText(figures.value(0)), sizeText(figures.value(1)));
    case ZipIssue::DiskFull:
        return texts.msg(Msg::ZipDiskFull) + p.entry;
    case ZipIssue::WriteError:
        return texts.msg(Msg::ZipWriteError) + p.entry + detail;
    case ZipIssue::Damaged:
        return texts.msg(Msg::ZipDamaged) + p.entry + detail;
    case ZipIssue::PasswordNeeded:
        return texts.msg(Msg::ZipPasswordNeeded) + p.entry;
    case ZipIssue::WrongPassword:
        return texts.msg(Msg::ZipWrongPassword) + p.entry;
    case ZipIssue::Unsupported:
        return texts.msg(Msg::ZipUnsupported) + p.entry + detail;
    case ZipIssue::Cancelled:
        return texts.msg(Msg::ZipCancelled);
    case ZipIssue::ArchiveWrite:
        return texts.msg(Msg::ZipArchiveWrite) + p.entry + detail;
    case ZipIssue::SourceUnreadable:
        return texts.msg(Msg::ZipSourceUnreadable) + p.entry + detail;
    }
    return {};
}

QStringList zip_problem_lines(const ZipResult &result, const Texts &texts)
{
    QStringList lines;
    for (const ZipProblem &p : result.problems)
        lines << zip_problem_text(p, texts);
    return lines;
}

} // namespace vorn
