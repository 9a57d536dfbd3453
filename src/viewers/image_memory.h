// Memory for large decoded pictures. A fresh picture of many megabytes costs one page fault
// per 4 KiB page when first written (about 12,000 for a 12-megapixel picture); on transparent
// huge pages it costs one per 2 MiB.
#pragma once

#include <QImage>

namespace vorn
{

// From this many bytes a picture's pixels are placed on huge pages where the system offers
// them; smaller pictures come from the ordinary allocator.
constexpr qsizetype kHugePagePictureBytes = qsizetype(8) << 20;

// An uninitialised picture of that size and format (a 32-bit format), null when the memory
// cannot be had. Its pixels are released with the last copy of the QImage.
QImage large_image(int width, int height, QImage::Format format);

} // namespace vorn
