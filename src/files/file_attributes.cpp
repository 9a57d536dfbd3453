#include "files/file_attributes.h"

#include "files/file_helpers.h"

#include "files/drive_info.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace vorn
{

namespace
{

const char kDosAttrib[] = "user.DOSATTRIB";
constexpr std::uint32_t kXattrBits = AttrHidden | AttrSystem | AttrArchive;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// The flags kept in user.DOSATTRIB; 0 when there is none or the file system keeps none.
// Samba's own values start with the same "0x" text, followed by a NUL and binary data.
std::uint32_t read_dos_attrib(const QByteArray &path)
{
    char buf[256];
    const ssize_t n = getxattr(path.constData(), kDosAttrib, buf, sizeof buf);
    if (n < 3 || buf[0] != '0' || (buf[1] != 'x' && buf[1] != 'X'))
        return 0;
    std::uint32_t value = 0;
    for (ssize_t i = 2; i < n && i < 10; ++i) {
        const char c = buf[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * 16 + std::uint32_t(digit);
    }
    return value;
}

bool starts_with_dot(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'), path.endsWith(QLatin1Char('/')) ? -2 : -1);
    return path.mid(slash + 1).startsWith(QLatin1Char('.'));
}

// Writes the hidden/system/archive flags as plain text (no flags: the attribute is removed).
void write_dos_attrib(const QByteArray &path, std::uint32_t flags)
{
    if (flags == 0) {
        removexattr(path.constData(), kDosAttrib); // ENODATA or ENOTSUP: nothing to remove
        return;
    }
    const QByteArray text = "0x" + QByteArray::number(flags, 16);
    setxattr(path.constData(), kDosAttrib, text.constData(), size_t(text.size()), 0);
}

} // namespace

std::uint32_t file_attributes(const QString &path)
{
    const QByteArray p = native_path(path);
    struct stat st {
    };
    if (path.isEmpty() || stat(p.constData(), &st) != 0)
        return kInvalidAttributes;
    std::uint32_t attrs = read_dos_attrib(p) & kXattrBits;
    if ((st.st_mode & kWriteBits) == 0)
        attrs |= AttrReadOnly;
    if (starts_with_dot(path))
        attrs |= AttrHidden;
    return attrs;
}

bool set_file_attributes(const QString &path, std::uint32_t attributes)
{
    const QByteArray p = native_path(path);
    struct stat st {
    };
    if (path.isEmpty() || stat(p.constData(), &st) != 0)
        return false;
    const mode_t mode = st.st_mode & 07777;
    const bool readOnly = attributes & AttrReadOnly;
    const mode_t newMode = readOnly ? (mode & ~kWriteBits) : ((mode & kWriteBits) ? mode : (mode | S_IWUSR));
    mode_t current = mode;
    const std::uint32_t flags = attributes & kXattrBits;
    if ((read_dos_attrib(p) & kXattrBits) != flags) {
        // Extended attributes need write access to the file: give it for the moment.
        if ((mode & kWriteBits) == 0) {
            current = mode | S_IWUSR;
            if (chmod(p.constData(), current) != 0)
                return false;
        }
        write_dos_attrib(p, flags);
    }
    return newMode == current || chmod(p.constData(), newMode) == 0;
}

void make_writable(const QString &path, const DriveInfo &drives)
{
    if (!drives.is_cdrom_drive(path))
        set_file_attributes(path, AttrArchive);
}

void make_writable(const QString &path)
{
    make_writable(path, system_drive_info());
}

bool is_read_only(const QString &path)
{
    return file_attributes(path) & AttrReadOnly;
}

bool is_listed(const QString &path)
{
    return !(file_attributes(path) & (AttrHidden | AttrSystem));
}

} // namespace vorn
