// Queries about the file system ("drive") that holds a path: its mount point, whether it is a
// CD-ROM (optical or mounted read-only) and whether it sits on removable media. Behind an
// interface so that tests can play any kind of drive.
#pragma once

#include <QString>

namespace vorn
{

class DriveInfo
{
  public:
    virtual ~DriveInfo() = default;

    // The mount point that holds the path, ending with '/' ("/" for the root file system).
    virtual QString mount_point(const QString &path) const = 0;
    // True when the path's file system is optical (iso9660, udf) or mounted read-only.
    virtual bool is_cdrom_drive(const QString &path) const = 0;
    // True when the path lies on removable or optical media (re-read on every expansion).
    virtual bool is_removable(const QString &path) const = 0;
};

// The drives of this machine, asked through statfs, statvfs, the mount table and sysfs.
class SystemDriveInfo : public DriveInfo
{
  public:
    QString mount_point(const QString &path) const override;
    bool is_cdrom_drive(const QString &path) const override;
    bool is_removable(const QString &path) const override;
};

// The machine's drives, for code that is given no other DriveInfo. It keeps no state.
DriveInfo &system_drive_info();

} // namespace vorn
