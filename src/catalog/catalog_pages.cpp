#include "catalog/catalog_pages.h"

#include "base/native_names.h"

#include "files/file_ops.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace vorn
{

namespace
{

constexpr int kMaxThumbNameBytes = 120; // below the packer's 128-byte limit
const QString kCrLf = QStringLiteral("\r\n");

} // namespace

QString catalog_html_text(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c == '<')
            out += QLatin1String("&lt;");
        else if (c == '>')
            out += QLatin1String("&gt;");
        else if (c == '&')
            out += QLatin1String("&amp;");
        else if (c == '"')
            out += QLatin1String("&quot;");
        else if (c < 0x20 || c >= 0x7F)
            out += QStringLiteral("&#%1;").arg(quint32(c));
        else
            out += QChar(char16_t(c));
    }
    return out;
}

QByteArray catalog_url_path(const QString &path)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char ch : native_path(path)) {
        const uchar c = uchar(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~' || c == '/') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

QStringList unique_thumbnail_names(const QStringList &pictures)
{
    QSet<QString> taken{QString::fromLatin1(kCatalogBackground)};
    QStringList names;
    names.reserve(pictures.size());
    for (const QString &picture : pictures) {
        // A valid UTF-8 name for the thumbnail, whatever bytes the picture's name holds.
        const QString fileName = shown_name(QFileInfo(picture).fileName());
        const int dot = fileName.lastIndexOf(QLatin1Char('.'));
        QString stem = dot > 0 ? fileName.left(dot) : fileName;
        if (stem.isEmpty())
            stem = QStringLiteral("thumb");
        while (QFile::encodeName(stem).size() > kMaxThumbNameBytes - 16)
            stem.chop(1);
        const QString base = stem + QStringLiteral(".jpg");
        QString name = base;
        for (int n = 2; taken.contains(name.toLower()); ++n)
            name = FileOps::collision_name(base, n);
        taken.insert(name.toLower());
        names << name;
    }
    return names;
}

CatalogPageWriter::CatalogPageWriter(const QString &title, const QString &background, int cellSize, int cols)
    : title_(title), background_(background), cellSize_(cellSize), cols_(cols)
{
}

void CatalogPageWriter::line(const QString &text)
{
    text_ += text;
    text_ += kCrLf;
}

void CatalogPageWriter::add(const CatalogCell &cell)
{
    if (!pageOpen_) {
        text_.clear();
        cellsOnPage_ = 0;
        pageOpen_ = true;
        const QString bkg = QString::fromLatin1(catalog_url_path(background_));
        line(QStringLiteral("<HTML><HEAD><TITLE>"));
        line(catalog_html_text(title_));
        line(QStringLiteral("</TITLE></HEAD>"));
        line(QStringLiteral("<BODY BACKGROUND=\"") + bkg + QStringLiteral("\">"));
        line(QStringLiteral("<table BACKGROUND=\"") + bkg + QStringLiteral("\">"));
    }
    if (column_ == 1)
        line(QStringLiteral("<TR>"));
    line(QStringLiteral("<TH WIDTH=%1 HEIGHT=%1>").arg(cellSize_));
    if (cell.thumbSize.isValid()) {
        line(QStringLiteral("<A HREF=\"") + QString::fromLatin1(catalog_url_path(cell.picture)) +
             QStringLiteral("\">"));
        line(QStringLiteral("<IMG SRC=\"") + QString::fromLatin1(catalog_url_path(cell.thumbName)) +
             QStringLiteral("\" ALT=\"") + catalog_html_text(shown_name(QFileInfo(cell.picture).fileName())) +
             QStringLiteral("\" HEIGHT=%1 WIDTH=%2></A>")
                 .arg(cell.thumbSize.height())
                 .arg(cell.thumbSize.width()));
    }
    line(QStringLiteral("</TH>"));
    if (column_ == cols_) {
        line(QStringLiteral("</TR>"));
        column_ = 1;
    } else {
        ++column_;
    }
    ++cellsOnPage_;
}

QByteArray CatalogPageWriter::finishPage()
{
    line(QStringLiteral("</TABLE></BODY></HTML>"));
    pageOpen_ = false;
    const QByteArray bytes = text_.toUtf8();
    text_.clear();
    return bytes;
}

QList<QByteArray> catalog_pages(const QList<CatalogCell> &cells, const QString &title,
                                const QString &background, int cellSize, int cols, int perPage)
{
    QList<QByteArray> pages;
    CatalogPageWriter writer(title, background, cellSize, cols);
    for (qsizetype i = 0; i < cells.size(); ++i) {
        writer.add(cells[i]);
        if (i + 1 == cells.size() || writer.cellsOnPage() == perPage)
            pages << writer.finishPage();
    }
    return pages;
}

QByteArray retitled_page(const QByteArray &page, const QString &title)
{
    const int first = page.indexOf('\n');
    if (first < 0)
        return page;
    const int second = page.indexOf('\n', first + 1);
    if (second < 0)
        return page;
    return page.left(first + 1) + catalog_html_text(title).toUtf8() + "\r" + page.mid(second);
}

} // namespace vorn
