#include "catalog/catalog_files.h"

#include "base/string_grid.h"
#include "base/temp_files.h"
#include "catalog/catalog_pages.h"
#include "files/file_helpers.h"
#include "files/file_ops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>

namespace vorn
{

QString catalog_description(const QString &input)
{
    return input.left(kCatalogDescriptionLength);
}

bool catalog_list_empty(const StringGrid &grid)
{
    return grid.rowCount() <= 1 && grid.cell(0, 0).isEmpty() && grid.cell(1, 0).isEmpty();
}

int catalog_list_add(StringGrid &grid, const QString &description, const QString &file)
{
    if (grid.colCount() < 2 || grid.rowCount() < 1)
        grid.setSize(2, std::max(1, grid.rowCount()));
    int row = 0;
    if (!grid.cell(0, 0).isEmpty()) {
        row = grid.rowCount();
        grid.setSize(grid.colCount(), row + 1);
    }
    grid.setCell(0, row, description);
    grid.setCell(1, row, file);
    return row;
}

void catalog_list_remove(StringGrid &grid, int row)
{
    if (row < 0 || row >= grid.rowCount())
        return;
    if (grid.rowCount() <= 1) {
        grid.setCell(0, 0, QString());
        grid.setCell(1, 0, QString());
    } else {
        grid.removeRow(row);
    }
}

bool catalog_list_move(StringGrid &grid, int row, int delta)
{
    const int other = row + delta;
    if (row < 0 || row >= grid.rowCount() || other < 0 || other >= grid.rowCount())
        return false;
    for (int c = 0; c < grid.colCount(); ++c) {
        const QString a = grid.cell(c, row);
        grid.setCell(c, row, grid.cell(c, other));
        grid.setCell(c, other, a);
    }
    return true;
}

bool retitle_catalog_pages(const QString &dir, const QString &description)
{
    bool ok = true;
    const int pages = count_catalog_pages(dir);
    for (int k = 1; k <= pages; ++k) {
        const QString path = QDir(dir).filePath(QString::number(k) + QStringLiteral(".htm"));
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly)) {
            ok = false;
            continue;
        }
        const QByteArray page =
            retitled_page(in.readAll(), QLatin1Char(' ') + description + QLatin1Char(' '));
        in.close();
        QSaveFile out(path);
        ok = out.open(QIODevice::WriteOnly) && out.write(page) == page.size() && out.commit() && ok;
    }
    return ok;
}

int open_catalog_file(FolderPacker &packer, const QString &file, const QString &tempDir)
{
    // The staging folder lies beside the catalog folder, on the same file system.
    const QString parent = QFileInfo(QDir::cleanPath(tempDir)).absolutePath();
    // Named by this process, so a start after a crash removes it (remove_stale_temp_files).
    struct Staging {
        QString dir;
        QString path() const { return dir; }
        ~Staging()
        {
            if (!dir.isEmpty())
                QDir(dir).removeRecursively();
        }
    } staging{make_temp_dir(parent)};
    if (staging.dir.isEmpty())
        return PackTargetNotFound;
    packer.mode = FolderPacker::Mode::Unpack;
    packer.sourcePath = file;
    packer.targetPath = staging.path();
    const int code = packer.execute();
    if (code != PackOk)
        return code;
    const QFileInfoList roots =
        QDir(staging.path())
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (roots.isEmpty())
        return PackOk; // an empty catalog file holds nothing
    // Folders an earlier catalog left in the catalog folder make room for this one's.
    for (const QFileInfo &fi : QDir(tempDir).entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        if (!fi.isSymLink())
            QDir(fi.filePath()).removeRecursively();
    const QString root = roots.first().filePath();
    const QFileInfoList entries =
        QDir(root).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &fi : entries) {
        const FileOpResult r =
            FileOps::rename_no_replace(fi.filePath(), QDir(tempDir).filePath(fi.fileName()));
        if (!r.ok)
            return r.errorCode == EEXIST ? PackWouldReplace : PackOpenFailed;
    }
    return PackOk;
}

} // namespace vorn
