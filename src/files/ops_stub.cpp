#include "files/file_ops.h"
#include "files/name_rules.h"
#include <QFile>
#include <QFileInfo>
namespace vorn {
FileResult rename_no_replace(const QString &from, const QString &to) { FileResult r; r.ok = !QFileInfo::exists(to) && QFile::rename(from, to); r.newPath = to; return r; }
FileResult delete_to_trash(const QString &path, const QString &) { FileResult r; r.ok = QFile::moveToTrash(path); return r; }
bool is_cdrom_drive(const QString &) { return false; }
bool is_read_only(const QString &p) { return !QFileInfo(p).isWritable(); }
void make_writable(const QString &) {}
bool validate_new_name(AppContext &, const QString &, const QString &) { return true; }
}
