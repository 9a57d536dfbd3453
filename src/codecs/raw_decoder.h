// Camera RAW files (CR2, CR3, NEF, ARW, DNG, ORF, RAF, RW2 and the other kinds LibRaw reads).
// A shown size smaller than the picture takes the camera's embedded preview when it is large
// enough, else a development at half size; the natural size is a full development into sRGB
// with the camera's white balance. The RAW flip is applied once, in either case.
#pragma once

#include "codecs/picture_types.h"

#include <QByteArray>
#include <QString>

namespace vorn
{

LoadedPicture decode_raw(const QByteArray &data, const DecodeRequest &req);

// The extensions of the RAW kinds the linked LibRaw reads, separated by spaces: Canon's CR3
// from LibRaw 0.20 on; Sigma's Foveon X3F only where LibRaw was built with its X3F tools
// (0.20 left them out of its default build).
QString raw_extensions();

// The natural (upright) size from the head of a RAW file (its directories); invalid when the
// head does not tell.
QSize probe_raw_size(const QByteArray &head);
// The same from the file, for files whose directories lie past their first bytes (cameras and
// converters may write them after the preview or the sensor data).
QSize probe_raw_file(const QString &path);

// The EXIF orientation (1..8) of LibRaw's flip bits (1: mirrored left-right, 2: upside down,
// 4: rows and columns swapped, applied after the mirrors).
int orientation_of_raw_flip(int flip);

} // namespace vorn
