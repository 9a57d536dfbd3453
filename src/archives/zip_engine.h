// The ZIP engine: libzip, linked at build time. Binding cannot fail at run time; bind and
// release mark the span in which archive work is allowed (start-up to shutdown).
#pragma once

#include <QString>

namespace vorn
{

class ZipEngine
{
  public:
    // Makes both halves (reading and writing) usable.
    void bind();
    // Releases the engine at shutdown; later archive work is refused.
    void release();
    bool isBound() const { return bound_; }
    // The version of the linked library, for the about box.
    static QString version();

  private:
    bool bound_ = false;
};

} // namespace vorn
