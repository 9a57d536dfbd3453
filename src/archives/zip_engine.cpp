#include "archives/zip_engine.h"

#include <zip.h>

namespace vorn
{

void ZipEngine::bind()
{
    bound_ = true;
}

void ZipEngine::release()
{
    bound_ = false;
}

QString ZipEngine::version()
{
    return QString::fromLatin1(zip_libzip_version());
}

} // namespace vorn
