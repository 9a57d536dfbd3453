#include "viewers/documents/text_document.h"

#include "base/native_names.h"

#include <QFile>
#include <QHashFunctions>
#include <QStringDecoder>
#include <QUtf8StringView>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

namespace vorn
{

namespace
{

// Windows-1252 bytes 0x80..0x9F as code points; the undefined five decode to themselves.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The characters an editor turns into line breaks, in the order of TextFormat::substitutes.
constexpr char16_t kSplitters[3] = {0x2029, 0xFDD0, 0xFDD1};

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
        if (b < 0) {
            out->clear();
            return false;
        }
        out->append(char(b));
    }
    return true;
}

QString decode_cp1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *d = text.data();
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        *d++ = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

QLatin1StringView line_end_text(LineEnd e)
{
    switch (e) {
    case LineEnd::Lf:
        return QLatin1StringView("\n");
    case LineEnd::CrLf:
        return QLatin1StringView("\r\n");
    case LineEnd::Cr:
        return QLatin1StringView("\r");
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

// Private-use characters absent from `text`, one for each splitter it holds; empty when it
// holds none.
QString choose_substitutes(const QString &text)
{
    bool any = false;
    for (QChar c : text)
        if (c.unicode() == kSplitters[0] || c.unicode() == kSplitters[1] || c.unicode() == kSplitters[2]) {
            any = true;
            break;
        }
    if (!any)
        return {};
    std::vector<bool> used(0x1900, false); // U+E000..U+F8FF
    for (QChar c : text)
        if (c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF)
            used[c.unicode() - 0xE000] = true;
    QString subs;
    for (char16_t u = 0; u < 0x1900 && subs.size() < 3; ++u)
        if (!used[u])
            subs.append(QChar(char16_t(0xE000 + u)));
    return subs.size() == 3 ? subs : QString();
}

void replace_chars(QString *text, const char16_t *from, const QString &to)
{
    for (QChar &c : *text)
        for (int k = 0; k < 3; ++k)
            if (c.unicode() == from[k]) {
                c = to[k];
                break;
            }
}

QList<QStringView> split_lines(const QString &text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i)
        if (text[i] == QLatin1Char('\n')) {
            lines.append(QStringView(text).mid(start, i - start));
            start = i + 1;
        }
    lines.append(QStringView(text).mid(start));
    return lines;
}

// Lines matched between a and b (index pairs, ascending) by the shortest edit script; false
// when more than maxD edits are needed.
bool match_lines(const size_t *a, int n, const size_t *b, int m, int maxD,
                 std::vector<std::pair<int, int>> *out)
{
    const int off = maxD + 1;
    std::vector<int> v(size_t(2 * maxD + 3), 0);
    std::vector<std::vector<int>> trace;
    for (int d = 0; d <= maxD; ++d) {
        trace.push_back(v);
        for (int k = -d; k <= d; k += 2) {
            int x = (k == -d || (k != d && v[off + k - 1] < v[off + k + 1])) ? v[off + k + 1]
                                                                             : v[off + k - 1] + 1;
            int y = x - k;
            while (x < n && y < m && a[x] == b[y]) {
                ++x;
                ++y;
            }
            v[off + k] = x;
            if (x < n || y < m)
                continue;
            // Walk back through the recorded steps, collecting the diagonal runs.
            for (int e = d; e >= 0; --e) {
                const std::vector<int> &pv = trace[size_t(e)];
                const int kk = x - y;
                if (e == 0) {
                    while (x > 0 && y > 0)
                        out->emplace_back(--x, --y);
                    break;
                }
                const int prevK =
                    (kk == -e || (kk != e && pv[off + kk - 1] < pv[off + kk + 1])) ? kk + 1 : kk - 1;
                const int px = pv[off + prevK];
                const int py = px - prevK;
                while (x > px && y > py)
                    out->emplace_back(--x, --y);
                x = px;
                y = py;
            }
            std::reverse(out->begin(), out->end());
            return true;
        }
    }
    return false;
}

} // namespace

TextDocument decode_document(const QByteArray &bytes)
{
    TextDocument doc;
    doc.fileSize = bytes.size();
    TextFormat &f = doc.format;
    // UTF-8 when the bytes decode and encode back to themselves; a BOM is kept as a character
    // here and only the first one is taken off below.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString raw = utf8.decode(bytes);
    f.utf8 = !utf8.hasError() && raw.toUtf8() == bytes;
    if (f.utf8) {
        f.bom = raw.startsWith(QChar(0xFEFF));
        if (f.bom)
            raw.remove(0, 1);
    } else {
        raw = decode_cp1252(bytes);
    }

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
        if (c == QLatin1Char('\r'))
            e = i + 1 < n && raw[i + 1] == QLatin1Char('\n') ? LineEnd::CrLf : LineEnd::Cr;
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
    else
        ends.append(LineEnd::None);

    f.substitutes = choose_substitutes(out);
    if (!f.substitutes.isEmpty())
        replace_chars(&out, kSplitters, f.substitutes);

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
    if (kinds > 1) {
        f.ends = std::move(ends);
        const QList<QStringView> lines = split_lines(out);
        f.lineHashes.reserve(lines.size());
        for (QStringView l : lines)
            f.lineHashes.append(qHash(l, size_t(0x9E3779B97F4A7C15ULL)));
    }
    return doc;
}

QList<LineEnd> assign_line_ends(const QList<QStringView> &lines, const TextFormat &format)
{
    const qsizetype m = lines.size();
    QList<LineEnd> ends(m, format.lineEnd);
    const qsizetype n = format.lineHashes.size();
    if (!format.ends.isEmpty() && format.ends.size() == n && n > 0) {
        std::vector<size_t> hb(size_t(m), 0);
        for (qsizetype j = 0; j < m; ++j)
            hb[size_t(j)] = qHash(lines[j], size_t(0x9E3779B97F4A7C15ULL));
        const size_t *ha = format.lineHashes.constData();
        // The unchanged lines at both ends, then the shortest edit script for the middle.
        qsizetype p = 0;
        while (p < n && p < m && ha[p] == hb[size_t(p)])
            ++p;
        qsizetype s = 0;
        while (s < n - p && s < m - p && ha[n - 1 - s] == hb[size_t(m - 1 - s)])
            ++s;
        std::vector<std::pair<int, int>> pairs;
        for (qsizetype i = 0; i < p; ++i)
            pairs.emplace_back(int(i), int(i));
        const qsizetype an = n - p - s, bn = m - p - s;
        std::vector<std::pair<int, int>> mid;
        // Bounded work: a text rewritten through and through is matched by position.
        const qsizetype budget = qsizetype(40) << 20;
        const int maxD = int(qMin<qsizetype>(2000, budget / qMax<qsizetype>(1, an + bn)));
        if (an > 0 && bn > 0 && match_lines(ha + p, int(an), hb.data() + p, int(bn), maxD, &mid))
            for (const auto &pr : mid)
                pairs.emplace_back(int(pr.first + p), int(pr.second + p));
        for (qsizetype i = 0; i < s; ++i)
            pairs.emplace_back(int(n - s + i), int(m - s + i));
        pairs.emplace_back(int(n), int(m)); // a sentinel closing the last hunk
        // Matched lines keep their end; in each hunk between matches the new lines take the
        // ends of the old lines they replace, the last new line the end of the last old line.
        int pa = 0, pb = 0;
        for (const auto &[ia, ib] : pairs) {
            const int olds = ia - pa, news = ib - pb;
            for (int k = 0; k < news; ++k) {
                LineEnd e = format.lineEnd;
                if (olds > 0 && k == news - 1)
                    e = format.ends[pa + olds - 1];
                else if (k < olds - 1)
                    e = format.ends[pa + k];
                ends[pb + k] = e;
            }
            if (ia < n && ib < m)
                ends[ib] = format.ends[ia];
            pa = ia + 1;
            pb = ib + 1;
        }
    }
    for (qsizetype j = 0; j + 1 < m; ++j)
        if (ends[j] == LineEnd::None)
            ends[j] = format.lineEnd;
    if (m > 0) {
        if (!format.finalBreak)
            ends[m - 1] = LineEnd::None;
        else if (ends[m - 1] == LineEnd::None)
            ends[m - 1] = format.lineEnd;
    }
    return ends;
}

bool encode_document(const QString &text, const TextFormat &format, QByteArray *out, TextFormat *written)
{
    const QList<QStringView> lines = split_lines(text);
    QList<LineEnd> ends = assign_line_ends(lines, format);
    // An empty text without a final break is no line at all.
    const bool empty = text.isEmpty() && !format.finalBreak;

    QString joined;
    joined.reserve(text.size() + text.size() / 32 + 2);
    if (!empty)
        for (qsizetype j = 0; j < lines.size(); ++j) {
            joined.append(lines[j]);
            joined.append(line_end_text(ends[j]));
        }
    if (!format.substitutes.isEmpty()) {
        const char16_t subs[3] = {format.substitutes[0].unicode(), format.substitutes[1].unicode(),
                                  format.substitutes[2].unicode()};
        replace_chars(&joined, subs, QString(reinterpret_cast<const QChar *>(kSplitters), 3));
    }

    out->clear();
    if (!format.utf8) {
        if (!encode_cp1252(joined, out))
            return false;
    } else {
        if (format.bom)
            out->append("\xEF\xBB\xBF");
        out->append(joined.toUtf8());
    }
    if (written) {
        *written = format;
        written->ends.clear();
        written->lineHashes.clear();
        if (!format.ends.isEmpty() && !empty) {
            written->ends = std::move(ends);
            written->lineHashes.reserve(lines.size());
            for (QStringView l : lines)
                written->lineHashes.append(qHash(l, size_t(0x9E3779B97F4A7C15ULL)));
        }
    }
    return true;
}

bool cut_long_lines(QString *text, qsizetype limit)
{
    qsizetype start = 0;
    bool cut = false;
    QString out;
    const qsizetype n = text->size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && text->at(i) != QLatin1Char('\n'))
            continue;
        if (i - start > limit) {
            if (!cut)
                out = text->left(start);
            cut = true;
            out.append(QStringView(*text).mid(start, limit));
            out.append(QChar(0x2026)); // an ellipsis marks the cut
        } else if (cut) {
            out.append(QStringView(*text).mid(start, i - start));
        }
        if (cut && i < n)
            out.append(QLatin1Char('\n'));
        start = i + 1;
    }
    if (cut)
        *text = std::move(out);
    return cut;
}

bool read_text_document(const QString &path, TextDocument *doc, QString *error, qint64 limit)
{
    QFile f;
    if (!open_native(f, path, QIODevice::ReadOnly)) {
        if (error)
            *error = qt_error_string(errno);
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
    doc->linesCut = cut_long_lines(&doc->text);
    return true;
}

} // namespace vorn
