// A check of a page's markup before it reaches the renderer, judged as the renderer parses it
// (tag names in any case; script and style skipped up to their closing tag in any case, not at
// all when self-closed, to the end when unclosed). Pages that are too large, nest too deeply,
// hold huge tables or lists, too many elements or endless paragraphs would stall the window
// while being parsed and laid out, so they are shown as source text instead, wrapped into short
// lines (source_for_showing).
#pragma once

#include <QByteArray>
#include <QString>

namespace vorn
{

enum class PageVerdict { Ok, TooLarge, TooDeep, TooManyCells, TooManyElements, TooLongParagraph };

// Each limit keeps the parse and layout of a page well under a second (bench_text measures it).
struct PageLimits {
    qint64 maxBytes = qint64(4) << 20;
    int maxDepth = 64;                       // nested containers (tables, lists, blocks, inline styles)
    int maxTableDepth = 12;                  // tables inside tables
    qint64 maxCells = 8000;                  // table cells of the whole page
    qint64 maxElements = 40000;              // start tags of the whole page
    qint64 maxListItems = 3000;              // list items: the renderer's cost grows with their square
    qint64 maxParagraph = qint64(256) << 10; // bytes between two tags that break the line
};

PageVerdict check_page(const QByteArray &markup, const PageLimits &limits = {});

// A page's text made fit for showing as source in the renderer: lines longer than
// `lineLength` are broken into pieces of that length (one endless line cannot be laid out in
// time).
QString source_for_showing(const QString &text, qsizetype lineLength = 1000);

} // namespace vorn

namespace vorn
{

// A page file read for showing: its markup decoded (the charset the page declares, else
// UTF-8, else Windows-1252) and the verdict on it. Reads at most limits.maxBytes + 1 bytes, so
// `text` of a page judged TooLarge is only its beginning.
struct PageFile {
    QString text;
    PageVerdict verdict = PageVerdict::Ok;
    bool truncated = false;
};

bool read_page_file(const QString &path, PageFile *page, const PageLimits &limits = {});

} // namespace vorn
