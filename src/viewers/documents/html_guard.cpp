#include "viewers/documents/html_guard.h"

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

bool is_tag(QByteArrayView tag, const char *name)
{
    return tag.compare(QByteArrayView(name), Qt::CaseInsensitive) == 0;
}

// Tags after which the renderer starts a new line: text between two of them is one paragraph
// laid out as a whole.
bool breaks_line(QByteArrayView tag)
{
    static const char *const kTags[] = {"p",  "br", "div", "li",  "tr", "td",        "th", "table",
                                        "ul", "ol", "dl",  "dt",  "dd", "h1",        "h2", "h3",
                                        "h4", "h5", "h6",  "pre", "hr", "blockquote"};
    for (const char *t : kTags)
        if (is_tag(tag, t))
            return true;
    return false;
}

// Where the element's content ends: the first "</name" (any case) followed by a character that
// ends a tag name; the end of the markup when there is none.
qsizetype closing_tag(const QByteArray &markup, QByteArrayView name, qsizetype from)
{
    const QByteArray needle = "</" + name.toByteArray();
    const qsizetype n = markup.size();
    const qsizetype len = needle.size();
    for (qsizetype k = markup.indexOf("</", from); k >= 0; k = markup.indexOf("</", k + 2)) {
        if (k + len <= n && QByteArrayView(markup).sliced(k, len).compare(needle, Qt::CaseInsensitive) == 0 &&
            (k + len == n || !is_name_char(markup[k + len])))
            return k;
    }
    return n;
}

// Closes the innermost open element named `tag`, and everything opened inside it.
void close_element(QList<QByteArrayView> *open, QByteArrayView tag, int *tables)
{
    for (qsizetype k = open->size() - 1; k >= 0; --k) {
        if (open->at(k).compare(tag, Qt::CaseInsensitive) != 0)
            continue;
        for (qsizetype j = open->size() - 1; j >= k; --j)
            if (is_tag(open->at(j), "table"))
                --*tables;
        open->resize(k);
        return;
    }
}

} // namespace

PageVerdict check_page(const QByteArray &markup, const PageLimits &limits)
{
    if (markup.size() > limits.maxBytes)
        return PageVerdict::TooLarge;
    QList<QByteArrayView> open;
    int tables = 0;
    qint64 cells = 0, elements = 0, items = 0;
    qsizetype paragraphStart = 0;
    const char *p = markup.constData();
    const qsizetype n = markup.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype lt = markup.indexOf('<', i);
        if ((lt < 0 ? n : lt) - paragraphStart > limits.maxParagraph)
            return PageVerdict::TooLongParagraph;
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
        if (breaks_line(tag))
            paragraphStart = i;
        if (closing) {
            if (is_container(tag))
                close_element(&open, tag, &tables);
            continue;
        }
        if (++elements > limits.maxElements)
            return PageVerdict::TooManyElements;
        // Script and style hold no markup: skipped to their closing tag in any case of letters,
        // not at all when self-closed, to the end when never closed (as the renderer does).
        if (is_tag(tag, "script") || is_tag(tag, "style")) {
            if (!selfClosing)
                i = paragraphStart = closing_tag(markup, tag, i);
            continue;
        }
        if (is_tag(tag, "td") || is_tag(tag, "th")) {
            if (++cells > limits.maxCells)
                return PageVerdict::TooManyCells;
            continue;
        }
        if (is_tag(tag, "li") && ++items > limits.maxListItems)
            return PageVerdict::TooManyElements;
        if (!is_container(tag) || selfClosing)
            continue;
        open.append(tag);
        if (is_tag(tag, "table") && ++tables > limits.maxTableDepth)
            return PageVerdict::TooDeep;
        if (open.size() > limits.maxDepth)
            return PageVerdict::TooDeep;
    }
    return PageVerdict::Ok;
}

QString source_for_showing(const QString &text, qsizetype lineLength)
{
    QString out;
    out.reserve(text.size() + text.size() / qMax<qsizetype>(1, lineLength) + 1);
    qsizetype run = 0;
    for (QChar c : text) {
        if (c == QLatin1Char('\n')) {
            run = 0;
        } else if (run == lineLength) {
            out.append(QLatin1Char('\n'));
            run = 0;
        }
        if (c != QLatin1Char('\n'))
            ++run;
        out.append(c);
    }
    return out;
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
