#include "archives/zip_aes.h"

#include <QMessageAuthenticationCode>
#include <QtEndian>

#include <algorithm>
#include <zip.h>

namespace vorn
{

namespace
{

constexpr int kVerifierLength = 2;
constexpr int kCodeLength = 10;
constexpr int kRounds = 1000;

} // namespace

int aesStrength(quint16 encryption)
{
    switch (encryption) {
    case ZIP_EM_AES_128:
        return 1;
    case ZIP_EM_AES_192:
        return 2;
    case ZIP_EM_AES_256:
        return 3;
    default:
        return 0;
    }
}

QByteArray pbkdf2_sha1(const QByteArray &password, const QByteArray &salt, int rounds, int length)
{
    QMessageAuthenticationCode mac(QCryptographicHash::Sha1, password);
    QByteArray out;
    for (quint32 block = 1; out.size() < length; ++block) {
        QByteArray first = salt;
        first.resize(salt.size() + 4);
        qToBigEndian(block, first.data() + salt.size());
        mac.reset();
        mac.addData(first);
        QByteArray u = mac.result();
        QByteArray t = u;
        for (int r = 1; r < rounds; ++r) {
            mac.reset();
            mac.addData(u);
            u = mac.result();
            for (qsizetype i = 0; i < t.size(); ++i)
                t[i] = char(t[i] ^ u[i]);
        }
        out += t;
    }
    out.truncate(length);
    return out;
}

bool zip_aes_authentic(zip_t *za, quint64 index, quint64 packedSize, int strength, const QByteArray &password)
{
    if (strength < 1 || strength > 3 || password.isEmpty())
        return false;
    const int saltLength = 4 + 4 * strength;
    const int keyLength = 8 + 8 * strength;
    const quint64 head = quint64(saltLength + kVerifierLength);
    if (packedSize < head + kCodeLength)
        return false;
    zip_file_t *zf = zip_fopen_index(za, index, ZIP_FL_ENCRYPTED);
    if (!zf) {
        zip_error_clear(za);
        return false;
    }
    // Reads exactly the stored bytes; the library may report an error only after them.
    quint64 at = 0;
    QByteArray buffer(256 * 1024, Qt::Uninitialized);
    QByteArray header;
    QByteArray code;
    QMessageAuthenticationCode mac(QCryptographicHash::Sha1);
    const quint64 dataEnd = packedSize - kCodeLength;
    bool ok = true;
    while (ok && at < packedSize) {
        const zip_int64_t n =
            zip_fread(zf, buffer.data(), std::min<quint64>(quint64(buffer.size()), packedSize - at));
        if (n <= 0) {
            ok = false;
            break;
        }
        const char *p = buffer.constData();
        quint64 left = quint64(n);
        while (left > 0) {
            if (at < head) { // salt and password verifier
                const quint64 take = std::min(left, head - at);
                header.append(p, qsizetype(take));
                p += take;
                left -= take;
                at += take;
                if (at == head) {
                    const QByteArray keys = pbkdf2_sha1(password, header.left(saltLength), kRounds,
                                                        2 * keyLength + kVerifierLength);
                    if (keys.right(kVerifierLength) != header.right(kVerifierLength)) {
                        ok = false;
                        break;
                    }
                    mac.setKey(keys.mid(keyLength, keyLength));
                }
            } else if (at < dataEnd) { // the encrypted data
                const quint64 take = std::min(left, dataEnd - at);
                mac.addData(p, qsizetype(take));
                p += take;
                left -= take;
                at += take;
            } else { // the code
                code.append(p, qsizetype(left));
                at += left;
                left = 0;
            }
        }
    }
    zip_fclose(zf);
    return ok && at == packedSize && mac.result().left(kCodeLength) == code;
}

} // namespace vorn
