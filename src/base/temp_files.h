// The program's own working files beside the user's files: written unnamed where the file
// system allows (O_TMPFILE) and given their name only when complete, so a crash leaves
// nothing. Where a name is needed (a file system without O_TMPFILE, a staging folder) it is
// ".vorn-tmp-<pid>-XXXXXX": a later start removes those whose process no longer runs.
#pragma once

#include <QByteArray>
#include <QString>

namespace vorn
{

// A file being written in the folder dirFd refers to.
struct TempFile {
    int fd = -1;
    QByteArray name; // empty while the file is unnamed
};

// Opens a new working file in dirFd for writing (mode as for open). With allowUnnamed false
// the named form is used (tests take that path where O_TMPFILE works). fd < 0 and errno set
// on failure.
TempFile open_temp_file(int dirFd, mode_t mode, bool allowUnnamed = true);

// With false, every later working file is named, as on a file system without O_TMPFILE
// (tests take the named path of code that does not pass allowUnnamed through).
void set_unnamed_temp_files(bool allowed);

// Gives the written file finalName in dirFd. Without `replace` an existing file is never
// replaced (EEXIST then); with it, an existing file is replaced in one step. The file stays
// open. Returns 0 or an errno value.
int publish_temp_file(const TempFile &file, int dirFd, const QByteArray &finalName, bool replace = false);

// Closes the file and removes a named one that was not published.
void discard_temp_file(TempFile &file, int dirFd);

// A new staging folder "<parent>/.vorn-tmp-<pid>-XXXXXX"; empty on failure.
QString make_temp_dir(const QString &parent);

// Removes the working files and folders in `folder` left by processes that no longer run.
// Returns how many were removed.
int remove_stale_temp_files(const QString &folder);

} // namespace vorn
