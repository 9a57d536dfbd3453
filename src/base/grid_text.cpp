#include "base/grid_text.h"

#include "base/text_file.h"

#include <QFile>

namespace vorn
{

namespace
{

// A grid file stores at most one cell per line; a size line may still ask for empty rows and
// columns, but not for more cells than this floor or a generous multiple of the file's size.
constexpr qint64 kMinCellBudget = 1 << 16;
constexpr qint64 kCellsPerByte = 64;
constexpr int kMaxCols = 1 << 16;
constexpr int kMaxRows = 1 << 22;

QString decodeCell(QStringView text)
{
    QString out = text.toString();
    out.replace(QChar(9), QChar(13));
    out.replace(QChar(8), QChar(10));
    return out;
}

QString encodeCell(const QString &text)
{
    QString out = text;
    out.replace(QChar(13), QChar(9));
    out.replace(QChar(10), QChar(8));
    return out;
}

} // namespace

GridLoadStatus parse_grid_text(const QByteArray &bytes, StringGrid &grid)
{
    if (bytes.contains('\0'))
        return GridLoadStatus::Corrupt;
    QStringList lines = decode_lines(bytes);
    if (lines.isEmpty())
        lines << QString(); // an empty file: an empty size line, the grid keeps its size

    int cols = grid.colCount();
    int rows = grid.rowCount();
    const QString &first = lines.first();
    if (!first.isEmpty()) {
        const qsizetype comma = first.indexOf(QLatin1Char(','));
        cols = lenient_int(QStringView(first).left(comma < 0 ? first.size() : comma));
        rows = comma < 0 ? 0 : lenient_int(QStringView(first).mid(comma + 1));
    }
    if (cols <= 0 || rows <= 0)
        return GridLoadStatus::Corrupt;
    const qint64 budget = qMax(kMinCellBudget, qint64(bytes.size()) * kCellsPerByte);
    if (cols > kMaxCols || rows > kMaxRows || qint64(cols) * rows > budget)
        return GridLoadStatus::Corrupt;
    grid.setSize(cols, rows);

    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringView line(lines[i]);
        if (line.startsWith(QLatin1String("cw"))) {
            const QStringView rest = line.mid(3);
            const qsizetype comma = rest.indexOf(QLatin1Char(','));
            const int col = lenient_int(comma < 0 ? rest : rest.left(comma));
            const int width = comma < 0 ? 0 : lenient_int(rest.mid(comma + 1));
            if (col >= 0 && col < cols)
                grid.setColWidth(col, width);
            continue;
        }
        const qsizetype c1 = line.indexOf(QLatin1Char(','));
        if (c1 < 0)
            continue;
        const int x = lenient_int(line.left(c1));
        const QStringView rest = line.mid(c1 + 1);
        const qsizetype c2 = rest.indexOf(QLatin1Char(','));
        const int y = lenient_int(c2 < 0 ? rest : rest.left(c2));
        const QStringView text = c2 < 0 ? QStringView() : rest.mid(c2 + 1);
        if (x >= 0 && y >= 0 && x < cols && y < rows)
            grid.setCell(x, y, decodeCell(text));
    }
    return GridLoadStatus::Ok;
}

GridLoadStatus load_grid(const QString &path, StringGrid &grid)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return GridLoadStatus::NotFound;
    // Grid files are small; a huge file is refused before it is read into memory.
    if (f.size() > (64 << 20))
        return GridLoadStatus::Corrupt;
    return parse_grid_text(f.readAll(), grid);
}

QStringList grid_text_lines(const StringGrid &grid)
{
    QStringList lines;
    lines << QStringLiteral("%1,%2").arg(grid.colCount()).arg(grid.rowCount());
    for (int c = 0; c < grid.colCount(); ++c)
        lines << QStringLiteral("cw %1,%2").arg(c).arg(grid.colWidth(c));
    for (int r = 0; r < grid.rowCount(); ++r)
        for (int c = 0; c < grid.colCount(); ++c) {
            const QString text = grid.cell(c, r);
            if (!text.isEmpty())
                lines << QStringLiteral("%1,%2,").arg(c).arg(r) + encodeCell(text);
        }
    return lines;
}

bool save_grid(const QString &path, const StringGrid &grid, QString *error)
{
    return write_text_lines(path, grid_text_lines(grid), error);
}

} // namespace vorn
