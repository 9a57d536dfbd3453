#include "sorting/sort_layout.h"

#include <QStringList>

namespace vorn
{

int sort_buttons_per_row(int clientWidth)
{
    return clientWidth > 0 ? clientWidth / kSortButtonWidth : 0;
}

QPoint sort_button_pos(int k, int perRow)
{
    if (perRow <= 0 || k < 1)
        return {0, 0};
    const int r = (k - 1) / perRow;
    const int c = (k - 1) - r * perRow;
    return {c * kSortButtonWidth, r * kSortButtonHeight};
}

QString shorten_path(const QString &pathIn, int width, const std::function<int(const QString &)> &measure)
{
    QString path = pathIn;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (measure(path) <= width)
        return path;
    const QString ellipsis = QStringLiteral("...");
    const bool absolute = path.startsWith(QLatin1Char('/'));
    QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QString root = absolute ? QStringLiteral("/") : QString();
    if (parts.size() >= 2) {
        // Drop folders after the first, one by one, until it fits.
        const QString first = parts.first();
        const QString last = parts.last();
        QStringList middle = parts.mid(1, parts.size() - 2);
        while (!middle.isEmpty()) {
            middle.removeLast();
            QStringList shown{first};
            shown += middle;
            shown << ellipsis << last;
            const QString candidate = root + shown.join(QLatin1Char('/'));
            if (measure(candidate) <= width)
                return candidate;
        }
        // The drive no longer fits beside the last folder: the last folder alone.
        const QString tail = ellipsis + QLatin1Char('/') + last;
        if (measure(tail) <= width)
            return tail;
        path = last;
    } else if (!parts.isEmpty()) {
        path = parts.first();
    }
    // Cut the name itself.
    QString cut = path;
    while (!cut.isEmpty() && measure(cut + ellipsis) > width)
        cut.chop(1);
    return cut + ellipsis;
}

} // namespace vorn
