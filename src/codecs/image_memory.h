// Memory for large decoded pictures. A fresh picture of many megabytes costs one page fault
// per 4 KiB page when first written (about 12,000 for a 12-megapixel picture); on transparent
// huge pages it costs one per 2 MiB.
#pragma once

#include <QImage>

namespace vorn
{

// From this many bytes a picture's pixels are placed on huge pages where the system offers
// them; smaller pictures come from the ordinary allocator. A fitted view of 800 x 600 (1.9 MB)
// is already above it: its 470 small pages cost more to fault in than the smooth scaling.
constexpr qsizetype kHugePagePictureBytes = qsizetype(1) << 20;

// An uninitialised picture of that size and format (a 32-bit format), null when the memory
// cannot be had. Its pixels are released with the last copy of the QImage.
QImage large_image(int width, int height, QImage::Format format);

// A picture decoded only to be scaled down (a fitted view, a thumbnail) is written into this
// thread's scratch picture: take it, and give it back once the scaled copy is made, so the next
// decode of that size writes into memory that is already there instead of fresh pages.
QImage take_scratch_image(int width, int height, QImage::Format format);
void give_back_scratch_image(QImage image);

// The bytes of a file, read into this thread's read buffer when the last caller let go of it
// (so reading picture after picture does not fault in fresh pages each time). Empty when the
// file cannot be read.
QByteArray read_whole_file(const QString &path);

// Decoding libraries that allocate their working memory anew for each picture (libjxl: about
// 25 MB in blocks of 1 to 7 MB for a 12-megapixel picture) would fault it in page by page each
// time: glibc maps such blocks on their own and unmaps them when freed, until its adaptive
// threshold happens to rise above them, and gives back a freed heap top above a small limit. From
// the first call on, for the whole process, blocks under 32 MB come from the heaps and a heap
// keeps up to 64 MB free at its top, so the next picture reuses the memory already there: the
// limits glibc moves to by itself after freeing a 32 MB block, set once so they do not drift
// with the sizes of the last pictures. malloc_trim still gives everything free back.
void reuse_freed_memory();

// The free heap top a heap keeps once reuse_freed_memory() has run (glibc's own upper bound):
// what a temporary lower limit, such as a video player's while it ends, goes back to.
constexpr int kKeptHeapTopBytes = 64 * 1024 * 1024;

} // namespace vorn
