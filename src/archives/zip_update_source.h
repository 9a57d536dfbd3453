// An existing archive opened in libzip for changes (adding, replacing, deleting entries).
// libzip reads the archive and writes the changed one through this source: into the program's
// own working file in the archive's folder (unnamed where the file system allows, else under
// the pattern that a later run removes), which is synced and renamed over the archive in one
// step only when complete. A crash or a failure in between leaves the archive as it was and
// no half-written file beside it. When the last entry is deleted the archive is removed.
#pragma once

#include <QString>

typedef struct zip zip_t;
typedef struct zip_error zip_error_t;

namespace vorn
{

// The archive at `path` opened for changes; nullptr with `error` set when it cannot be
// opened or is no archive. Closed with zip_close (writes) or zip_discard (keeps it as it was).
zip_t *open_zip_for_update(const QString &path, zip_error_t *error);

} // namespace vorn
