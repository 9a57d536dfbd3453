#pragma once
#include <QString>
namespace vorn {
struct FileResult { bool ok = false; QString newPath; QString error; };
FileResult rename_no_replace(const QString &from, const QString &to);
FileResult delete_to_trash(const QString &path, const QString &trashDir);
bool is_cdrom_drive(const QString &path);
bool is_read_only(const QString &path);
void make_writable(const QString &path);
}
