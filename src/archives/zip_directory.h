// The program's own reading of a ZIP archive's central directory: every entry's name, sizes,
// DOS time stamp, attributes, encryption and where its data lies. Listing an archive needs
// nothing else, so the library opens the archive only when entries are extracted. The offsets
// are also what shows an overlap bomb (many entries sharing one run of compressed data).
#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <vector>

namespace vorn
{

// Reads up to len bytes at offset into buf; returns the count read (-1 on error).
using ZipReadAt = std::function<qint64(qint64 offset, char *buf, qint64 len)>;

struct ZipDirRecord {
    QString name;            // decoded (see zip_entry_name)
    quint64 localOffset = 0; // the local header
    quint64 packedSize = 0;
    quint64 size = 0;
    quint32 nameLength = 0; // in bytes, as stored
    quint32 external = 0;   // external attributes
    quint16 madeBy = 0;     // version made by: the high byte is the system (3: Unix)
    quint16 flags = 0;      // general purpose bits
    quint16 method = 0;
    quint16 dosTime = 0;
    quint16 dosDate = 0;
    quint16 encryption = 0; // 0 none, 1 traditional, 0x0101..0x0103 AES-128/192/256, 0xffff other
    quint8 aesVersion = 0;  // AES: 1 (AE-1) or 2 (AE-2, which stores no CRC)
};

struct ZipDirectory {
    // An end record was found and every record it announces was read.
    bool complete = false;
    // Where the archive starts in the file: an archive appended to a program (self-extracting)
    // without its offsets adjusted has every offset short by the program's size.
    quint64 base = 0;
    std::vector<ZipDirRecord> records;
};

// The central directory's records in stored order; not complete when no directory could be
// found or a record is damaged (then the library's own reading decides whether the archive
// opens at all).
ZipDirectory read_central_directory(const ZipReadAt &readAt, qint64 fileSize);

// The name of an entry as stored: UTF-8 with the UTF-8 flag (bit 11) or from a Unicode path
// field whose check sum matches the stored name; without them, UTF-8 when the bytes are valid
// UTF-8, else CP437 (the ZIP default), so names made on Windows show as they were meant.
QString zip_entry_name(const QByteArray &stored, quint16 flags, const QByteArray &unicodePathField = {});

// For every record: does its local header plus data share bytes with another record's?
std::vector<bool> overlapping_records(const std::vector<ZipDirRecord> &records);

} // namespace vorn
