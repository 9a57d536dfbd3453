// Checks of the names stored in ZIP archives before anything is written for them. An entry name
// comes from an untrusted file: it is turned into a path below the target folder or refused.
#pragma once

#include <QString>
#include <QStringList>

namespace vorn
{

enum class ZipNameVerdict {
    Ok,
    Folder,     // a folder entry ("docs/"); nothing to write but the folder itself
    Empty,      // no name at all
    Absolute,   // starts with "/" or "\" (a root) or a drive letter "C:"
    ParentStep, // a ".." component would climb out of the target folder
    BadChar,    // NUL or another control character
    TooLong,    // a component over 255 bytes, or a path over 4096 bytes (the system's limits)
};

struct ZipNameCheck {
    ZipNameVerdict verdict = ZipNameVerdict::Empty;
    // The folder components and, unless the entry is a folder, the file name last; "." and
    // empty components are dropped, "\" counts as a separator like "/".
    QStringList parts;

    bool writable() const { return verdict == ZipNameVerdict::Ok || verdict == ZipNameVerdict::Folder; }
};

// Splits a stored name into safe path components or says why it is refused.
ZipNameCheck check_entry_name(const QString &name);

// The key that names an entry to the engine: the stored name in lower case.
inline QString entry_key(const QString &name)
{
    return name.toLower();
}

} // namespace vorn
