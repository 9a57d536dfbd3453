// A second, independent reading of a ZIP archive's central directory: where each entry's data
// lies. libzip does not tell the offsets, and they are what shows an overlap bomb (many entries
// sharing one run of compressed data).
#pragma once

#include <QtGlobal>
#include <functional>
#include <vector>

namespace vorn
{

// Reads up to len bytes at offset into buf; returns the count read (-1 on error).
using ZipReadAt = std::function<qint64(qint64 offset, char *buf, qint64 len)>;

struct ZipDirRecord {
    quint64 localOffset = 0; // the local header
    quint64 packedSize = 0;
    quint32 nameLength = 0;
};

// The central directory's records in stored order; empty when no directory could be found
// (then libzip's own reading decides whether the archive opens at all).
std::vector<ZipDirRecord> read_central_directory(const ZipReadAt &readAt, qint64 fileSize);

// For every record: does its local header plus data share bytes with another record's?
std::vector<bool> overlapping_records(const std::vector<ZipDirRecord> &records);

} // namespace vorn
