#include "viewers/text_document.h"

#include "base/text_file.h"
#include "files/file_helpers.h"

#include <QFile>
#include <QUtf8StringView>

#include <array>

namespace vorn
{

namespace
{

// Windows-1252 bytes 0x80..0x9F as code points; the undefined five decode to themselves.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Windows-1252 byte of a character; -1 when the code page has none.
int cp1252_byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return 0x80 + i;
    return -1;
}

bool encode_cp1252(const QString &text, QByteArray *out)
{
    out->reserve(text.size());
    for (QChar ch : text) {
        const int b = cp1252_byte(ch.unicode());
        if (b < 0)
            return false;
        out->append(char(b));
    }
    return true;
}

QByteArray line_end_bytes(LineEnd e)
{
    switch (e) {
    case LineEnd::Lf:
        return QByteArrayLiteral("\n");
    case LineEnd::CrLf:
        return QByteArrayLiteral("\r\n");
    case LineEnd::Cr:
        return QByteArrayLiteral("\r");
    case LineEnd::None:
        break;
    }
    return {};
}

// Cuts a prefix of UTF-8 bytes back to the start of a character, so a read limit does not
// turn a valid file into an invalid one.
qsizetype utf8_boundary(const QByteArray &bytes, qsizetype end)
{
    qsizetype i = end;
    int steps = 0;
    while (i > 0 && steps < 4 && (static_cast<unsigned char>(bytes[i - 1]) & 0xC0) == 0x80) {
        --i;
        ++steps;
    }
    if (i > 0 && static_cast<unsigned char>(bytes[i - 1]) >= 0xC0)
        return i - 1; // a lead byte whose sequence was cut
    return end;
}

} // namespace

TextDocument decode_document(const QByteArray &bytes)
{
    TextDocument doc;
    doc.fileSize = bytes.size();
    TextFormat &f = doc.format;
    f.utf8 = QUtf8StringView(bytes).isValidUtf8();
    f.bom = f.utf8 && bytes.startsWith("\xEF\xBB\xBF");
    const QString raw = decode_text(bytes); // drops the byte order mark

    QString &out = doc.text;
    out.reserve(raw.size());
    QList<LineEnd> ends;
    std::array<qsizetype, 4> counts{};
    const qsizetype n = raw.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = raw[i];
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            continue;
        LineEnd e = LineEnd::Lf;
        if (c == QLatin1Char('\r')) {
            if (i + 1 < n && raw[i + 1] == QLatin1Char('\n')) {
                e = LineEnd::CrLf;
            } else {
                e = LineEnd::Cr;
            }
        }
        out.append(QStringView(raw).mid(start, i - start));
        out.append(QLatin1Char('\n'));
        ends.append(e);
        ++counts[size_t(e)];
        if (e == LineEnd::CrLf)
            ++i;
        start = i + 1;
    }
    out.append(QStringView(raw).mid(start));
    f.finalBreak = !ends.isEmpty() && start == n;
    if (f.finalBreak)
        out.chop(1); // the last line end does not start another line

    f.lineEnd = LineEnd::Lf;
    qsizetype best = 0;
    int kinds = 0;
    for (LineEnd e : {LineEnd::Lf, LineEnd::CrLf, LineEnd::Cr}) {
        if (counts[size_t(e)] > 0)
            ++kinds;
        if (counts[size_t(e)] > best) {
            best = counts[size_t(e)];
            f.lineEnd = e;
        }
    }
    if (kinds > 1)
        f.ends = std::move(ends);
    return doc;
}

QByteArray encode_document(const QString &text, const TextFormat &format)
{
    // Join the lines again with the ends they came with.
    QString joined;
    joined.reserve(text.size() + text.size() / 32);
    qsizetype start = 0;
    qsizetype line = 0;
    const qsizetype n = text.size();
    auto endOf = [&](qsizetype l) { return l < format.ends.size() ? format.ends[l] : format.lineEnd; };
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && text[i] != QLatin1Char('\n'))
            continue;
        joined.append(QStringView(text).mid(start, i - start));
        if (i < n || format.finalBreak)
            joined.append(QString::fromLatin1(line_end_bytes(endOf(line))));
        ++line;
        start = i + 1;
    }
    if (n == 0 && !format.finalBreak)
        joined.clear();

    QByteArray out;
    if (!format.utf8 && encode_cp1252(joined, &out))
        return out;
    out = joined.toUtf8();
    if (format.bom)
        out.prepend("\xEF\xBB\xBF");
    return out;
}

bool read_text_document(const QString &path, TextDocument *doc, QString *error, qint64 limit)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    const qint64 size = f.size();
    QByteArray bytes = f.read(qMin(size, limit));
    const bool truncated = size > bytes.size();
    if (truncated && !QUtf8StringView(bytes).isValidUtf8())
        bytes.truncate(utf8_boundary(bytes, bytes.size()));
    *doc = decode_document(bytes);
    doc->fileSize = size;
    doc->truncated = truncated;
    return true;
}

bool write_text_document(const QString &path, const QString &text, const TextFormat &format, QString *error)
{
    return write_file_atomic(native_path(path), encode_document(text, format), error);
}

} // namespace vorn
