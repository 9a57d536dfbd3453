#include "files/drive_info.h"

#include "files/file_helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <sys/statfs.h>
#include <sys/statvfs.h>

namespace vorn
{

namespace
{

constexpr long kIso9660Magic = 0x9660;
constexpr long kUdfMagic = 0x15013346;

// The path itself when it exists, else its nearest existing parent folder (a file about to be
// created lies on the drive of its folder).
QString existing_path(const QString &path)
{
    QString p = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!p.isEmpty() && p != QLatin1String("/") && !QFileInfo::exists(p))
        p = QFileInfo(p).path();
    return p.isEmpty() ? QStringLiteral("/") : p;
}

QByteArray read_small_file(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(64).trimmed();
}

} // namespace

QString SystemDriveInfo::mount_point(const QString &path) const
{
    const QStorageInfo info(existing_path(path));
    if (!info.isValid())
        return QStringLiteral("/");
    return with_trailing_slash(info.rootPath());
}

bool SystemDriveInfo::is_cdrom_drive(const QString &path) const
{
    const QByteArray p = native_path(existing_path(path));
    struct statfs fs {
    };
    if (statfs(p.constData(), &fs) == 0 && (fs.f_type == kIso9660Magic || fs.f_type == kUdfMagic))
        return true;
    struct statvfs vfs {
    };
    return statvfs(p.constData(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY);
}

bool SystemDriveInfo::is_removable(const QString &path) const
{
    const QStorageInfo info(existing_path(path));
    if (!info.isValid())
        return false;
    const QByteArray type = info.fileSystemType();
    if (type == "iso9660" || type == "udf")
        return true;
    const QString device = QString::fromLocal8Bit(info.device());
    if (!device.startsWith(QLatin1String("/dev/")))
        return false;
    // The block device in sysfs; a partition's own "removable" flag lives on its disk.
    QString sys =
        QFileInfo(QStringLiteral("/sys/class/block/") + QFileInfo(device).fileName()).canonicalFilePath();
    if (sys.isEmpty())
        return false;
    if (QFileInfo::exists(sys + QStringLiteral("/partition")))
        sys = QFileInfo(sys).path();
    if (read_small_file(sys + QStringLiteral("/removable")) == "1")
        return true;
    // USB disks often call themselves fixed; they are still unplugged at will.
    return sys.contains(QLatin1String("/usb"));
}

DriveInfo &system_drive_info()
{
    static SystemDriveInfo drives;
    return drives;
}

} // namespace vorn
