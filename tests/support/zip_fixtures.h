// Builders of ZIP archives for the tests, byte by byte, so that hostile archives (unsafe names,
// links, shared data, zip64 records) can be made exactly as an attacker would make them.
#pragma once

#include "support/test_support.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace vorn::test
{

struct RawZipEntry {
    QByteArray name;
    QByteArray data;       // the bytes of the entry
    bool deflate = false;  // store deflated (else stored)
    quint32 unixMode = 0;  // external attributes' file type and permissions (0: none)
    bool utf8Flag = false; // general purpose bit 11
    int method = -1;       // with a method number, data is stored as it is under that method
};

// A complete archive of the entries; with zip64, every size and offset goes through the
// zip64 extra field and end records. With `shift`, every offset counts that many bytes more,
// as in an archive appended to a program whose offsets were adjusted.
QByteArray rawZip(const QList<RawZipEntry> &entries, bool zip64 = false, quint64 shift = 0);

// An overlap bomb: one entry of `size` zeros, deflated once, named by `copies` directory
// records that all point to the same data.
QByteArray overlapBomb(int copies, qsizetype size);

// A real archive written by libzip from (name, data) pairs; with a password every entry is
// encrypted by `method` (a libzip ZIP_EM_* value: traditional or AES). False when libzip refused.
// With `compression` (a ZIP_CM_* value, -1 for the default) every entry is packed that way.
bool writeLibzipArchive(const QString &path, const QList<std::pair<QByteArray, QByteArray>> &files,
                        const char *password = nullptr, quint16 method = 0, int compression = -1);

// Raw deflate of the bytes (no zlib header or trailer).
QByteArray rawDeflate(const QByteArray &data);
quint32 crc32Of(const QByteArray &data);

// Every file and folder below root, relative, sorted (links listed, not followed).
QStringList treeOf(const QString &root);

} // namespace vorn::test
