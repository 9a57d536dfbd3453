// A DriveInfo for tests: folders registered as mount points with the kind of drive they play.
// A path belongs to the longest registered mount point it lies in; any other path is on "/",
// a writable fixed drive.
#pragma once

#include "files/drive_info.h"

#include <QMap>

namespace vorn
{

class FakeDriveInfo : public DriveInfo
{
  public:
    struct Drive {
        bool cdrom = false;
        bool removable = false;
    };

    void addDrive(const QString &mountPoint, Drive kind) { drives_[normalized(mountPoint)] = kind; }
    void addCdrom(const QString &mountPoint) { addDrive(mountPoint, {true, true}); }
    void addRemovable(const QString &mountPoint) { addDrive(mountPoint, {false, true}); }
    void clear() { drives_.clear(); }

    QString mount_point(const QString &path) const override { return find(path); }
    bool is_cdrom_drive(const QString &path) const override { return drives_.value(find(path)).cdrom; }
    bool is_removable(const QString &path) const override { return drives_.value(find(path)).removable; }

  private:
    static QString normalized(const QString &p)
    {
        return p.endsWith(QLatin1Char('/')) ? p : p + QLatin1Char('/');
    }
    QString find(const QString &path) const
    {
        const QString p = normalized(path);
        QString best = QStringLiteral("/");
        for (auto it = drives_.cbegin(); it != drives_.cend(); ++it)
            if (p.startsWith(it.key()) && it.key().size() > best.size())
                best = it.key();
        return best;
    }

    QMap<QString, Drive> drives_;
};

} // namespace vorn
