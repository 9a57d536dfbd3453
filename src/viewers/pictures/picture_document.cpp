#include "viewers/pictures/picture_document.h"

namespace vorn
{

void PictureDocument::setFile(const QString &file)
{
    path = file;
    kind = picture_kind(file);
    animated = is_animated_kind(kind);
    transparent = is_transparent_kind(kind);
    coarse = false;
}

void PictureDocument::forget()
{
    path.clear();
    natural = QSize();
    kind = PictureKind::Unknown;
    animated = transparent = coarse = false;
}

bool PictureDocument::wantsSharperDecode(QSize shownSize, QSize decoded, bool bestFit) const
{
    if (animated || path.isEmpty() || shownSize.isEmpty() || (shownSize == decoded && !coarse))
        return false;
    const PictureKindInfo &info = picture_kind_info(kind);
    return coarse || info.vector || (info.reduced && bestFit);
}

} // namespace vorn
