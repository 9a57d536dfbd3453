// What a view offers the file routing: show one file, and let go of what it shows.
#pragma once

#include <QString>

namespace vorn
{

class FileViewer
{
  public:
    virtual ~FileViewer() = default;
    virtual void showFile(const QString &path) = 0;
    // Releases what the view shows (pictures, open media); called when the file kind changes.
    virtual void releaseFile() {}
};

} // namespace vorn
