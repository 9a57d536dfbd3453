// A check of a page's markup before it reaches the renderer: pages that are too large, nest
// too deeply or hold huge tables would stall the window while being laid out, so they are
// shown as source text instead.
#pragma once

#include <QByteArray>
#include <QString>

namespace vorn
{

enum class PageVerdict { Ok, TooLarge, TooDeep, TooManyCells };

struct PageLimits {
    qint64 maxBytes = qint64(4) << 20;
    int maxDepth = 64;       // nested containers (tables, lists, blocks, inline styles)
    int maxTableDepth = 12;  // tables inside tables
    qint64 maxCells = 20000; // table cells of the whole page
};

PageVerdict check_page(const QByteArray &markup, const PageLimits &limits = {});

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
