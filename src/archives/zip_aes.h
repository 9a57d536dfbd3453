// The authentication code of a WinZip AES entry, checked by the program itself. An entry
// written as AE-2 (as 7-Zip writes every AES entry) stores no CRC; the linked library still
// compares the stored 0 once all data is read and reports a CRC error for a sound entry. The
// check it cannot make is made here: the HMAC-SHA1 of the encrypted data under the key derived
// from the password (PBKDF2, 1000 rounds) against the code stored after the data.
#pragma once

#include <QByteArray>

typedef struct zip zip_t;

namespace vorn
{

// The AES key strength (1: 128, 2: 192, 3: 256 bits) of a ZipEntry::encryption value; 0 when
// the value is no AES.
int aesStrength(quint16 encryption);

// True when the stored data of the entry (`packedSize` bytes as the archive holds them) carry
// the authentication code that the password gives.
bool zip_aes_authentic(zip_t *za, quint64 index, quint64 packedSize, int strength,
                       const QByteArray &password);

// PBKDF2 with HMAC-SHA1: `length` bytes derived from the password and the salt.
QByteArray pbkdf2_sha1(const QByteArray &password, const QByteArray &salt, int rounds, int length);

} // namespace vorn
