// File attributes as the program knows them (read-only, hidden, system, archive), kept on Linux
// as the write permission bits and the extended attribute user.DOSATTRIB ("0x" + hex, the form
// Samba reads). A name starting with '.' also counts as hidden. Where the file system keeps no
// extended attributes, only read-only and dot-hidden exist; the other flags are passed over.
#pragma once

#include <QString>
#include <cstdint>

namespace vorn
{

class DriveInfo;

enum FileAttribute : std::uint32_t {
    AttrReadOnly = 0x01,
    AttrHidden = 0x02,
    AttrSystem = 0x04,
    AttrArchive = 0x20,
};

// What an attribute query returns for a file that cannot be read: every bit set.
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// The attributes of a file or folder; kInvalidAttributes when it does not exist.
std::uint32_t file_attributes(const QString &path);
// Sets read-only, hidden, system and archive as given (other bits are ignored). False when the
// file is missing or its permissions cannot be changed; a file system without extended
// attributes is no failure.
bool set_file_attributes(const QString &path, std::uint32_t attributes);

// Unless the file lies on a CD-ROM drive: the archive attribute alone (removes read-only,
// hidden and system).
void make_writable(const QString &path, const DriveInfo &drives);
void make_writable(const QString &path);
// The file has the read-only attribute; a missing file counts as read-only.
bool is_read_only(const QString &path);
// The file is shown in lists: neither hidden (dot-name or flag) nor system.
bool is_listed(const QString &path);

} // namespace vorn
