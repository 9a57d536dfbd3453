#include "viewers/html_guard.h"

#include "base/text_file.h"

#include <QByteArrayView>
#include <QFile>
#include <QList>
#include <QStringDecoder>
#include <QUtf8StringView>

namespace vorn
{

namespace
{

// Elements the renderer nests; the others close implicitly or hold no content, and are not
// counted.
bool is_container(QByteArrayView tag)
{
    static const char *const kTags[] = {
        "table",  "div",    "blockquote", "ul",     "ol", "dl",  "span",  "font", "b",   "i",   "u",
        "em",     "strong", "a",          "center", "tt", "pre", "small", "big",  "sub", "sup", "s",
        "strike", "code",   "h1",         "h2",     "h3", "h4",  "h5",    "h6",   "q",   "cite"};
    for (const char *t : kTags)
        if (tag.compare(QByteArrayView(t), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool is_name_char(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

} // namespace

PageVerdict check_page(const QByteArray &markup, const PageLimits &limits)
{
    if (markup.size() > limits.maxBytes)
        return PageVerdict::TooLarge;
    QList<QByteArrayView> open;
    int tables = 0;
    qint64 cells = 0;
    const char *p = markup.constData();
    const qsizetype n = markup.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype lt = markup.indexOf('<', i);
        if (lt < 0)
            break;
        i = lt + 1;
        if (markup.mid(i, 3) == "!--") {
            const qsizetype end = markup.indexOf("-->", i + 3);
            i = end < 0 ? n : end + 3;
            continue;
        }
        const bool closing = i < n && p[i] == '/';
        if (closing)
            ++i;
        const qsizetype start = i;
        while (i < n && is_name_char(p[i]))
            ++i;
        const QByteArrayView tag(p + start, i - start);
        const qsizetype gt = markup.indexOf('>', i);
        const bool selfClosing = gt > 0 && p[gt - 1] == '/';
        i = gt < 0 ? n : gt + 1;
        if (tag.isEmpty())
            continue;
        if (!closing && (tag.compare("script", Qt::CaseInsensitive) == 0 ||
                         tag.compare("style", Qt::CaseInsensitive) == 0)) {
            const QByteArray end = "</" + tag.toByteArray();
            const qsizetype e = markup.indexOf(end, i); // as written; a miss skips to the end
            i = e < 0 ? n : e;
            continue;
        }
        if (!closing &&
            (tag.compare("td", Qt::CaseInsensitive) == 0 || tag.compare("th", Qt::CaseInsensitive) == 0)) {
            if (++cells > limits.maxCells)
                return PageVerdict::TooManyCells;
            continue;
        }
        if (!is_container(tag) || selfClosing)
            continue;
        const bool isTable = tag.compare("table", Qt::CaseInsensitive) == 0;
        if (!closing) {
            open.append(tag);
            if (isTable && ++tables > limits.maxTableDepth)
                return PageVerdict::TooDeep;
            if (open.size() > limits.maxDepth)
                return PageVerdict::TooDeep;
            continue;
        }
        // Close the innermost open element of this name, and everything opened inside it.
        for (qsizetype k = open.size() - 1; k >= 0; --k) {
            if (open[k].compare(tag, Qt::CaseInsensitive) != 0)
                continue;
            for (qsizetype j = open.size() - 1; j >= k; --j)
                if (open[j].compare("table", Qt::CaseInsensitive) == 0)
                    --tables;
            open.resize(k);
            break;
        }
    }
    return PageVerdict::Ok;
}

bool read_page_file(const QString &path, PageFile *page, const PageLimits &limits)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.read(limits.maxBytes + 1);
    page->truncated = !f.atEnd();
    page->verdict = page->truncated ? PageVerdict::TooLarge : check_page(bytes, limits);
    if (QUtf8StringView(bytes).isValidUtf8()) {
        page->text = decode_text(bytes);
        return true;
    }
    QStringDecoder declared = QStringDecoder::decoderForHtml(bytes);
    const QByteArrayView name = declared.isValid() ? QByteArrayView(declared.name()) : QByteArrayView();
    if (declared.isValid() && name.compare("UTF-8", Qt::CaseInsensitive) != 0)
        page->text = declared.decode(bytes);
    else
        page->text = decode_text(bytes); // not UTF-8: Windows-1252
    return true;
}

} // namespace vorn
