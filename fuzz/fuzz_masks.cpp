// Mask texts and names from arbitrary bytes: parsing and matching must not crash, and the
// byte matcher used by the tree scanner must agree with the text matcher on ASCII input.
#include "files/masks.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // First byte: options; then mask text and name separated by the first NUL.
    if (size < 1)
        return 0;
    const bool fuzzy = data[0] & 1;
    const bool caseSensitive = data[0] & 2;
    const char *text = reinterpret_cast<const char *>(data + 1);
    const size_t len = size - 1;
    const void *nul = std::memchr(text, 0, len);
    const size_t maskLen = nul ? size_t(static_cast<const char *>(nul) - text) : len;
    const size_t nameOff = nul ? maskLen + 1 : len;
    const QString mask = QString::fromUtf8(text, qsizetype(maskLen));
    const QString name = QString::fromUtf8(text + nameOff, qsizetype(len - nameOff));

    const QStringList patterns = vorn::parse_patterns(mask, fuzzy, caseSensitive);
    (void)vorn::matches_any(name, patterns, caseSensitive);
    for (const QString &p : patterns) {
        for (bool exact : {true, false}) {
            const bool q = vorn::match_pattern(name, p, exact);
            const QByteArray nb = name.toLatin1();
            const QByteArray pb = p.toLatin1();
            bool ascii = true;
            for (QChar c : name + p)
                ascii = ascii && c.unicode() < 0x80;
            if (ascii && q != vorn::match_pattern_ascii(nb.constData(), size_t(nb.size()), pb.constData(),
                                                        size_t(pb.size()), exact))
                std::abort();
        }
    }
    return 0;
}
