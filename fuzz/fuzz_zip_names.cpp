// Feeds arbitrary names to the decoding of stored names and to the entry name check: whatever
// the check lets through must be a path that stays below the target folder.
#include "archives/zip_directory.h"
#include "archives/zip_names.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The bytes as a stored name (without the UTF-8 flag: UTF-8 or CP437), as UTF-8 and as
    // Latin-1, to reach every character.
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString stored = vorn::zip_entry_name(raw, 0);
    if (stored.isEmpty() != raw.isEmpty() || stored.size() > raw.size())
        __builtin_trap();
    for (const QString &name : {stored, QString::fromUtf8(raw), QString::fromLatin1(raw)}) {
        const vorn::ZipNameCheck c = vorn::check_entry_name(name);
        if (!c.writable()) {
            if (!c.parts.isEmpty() && c.verdict != vorn::ZipNameVerdict::Empty)
                __builtin_trap();
            continue;
        }
        if (c.parts.isEmpty())
            __builtin_trap();
        for (const QString &part : c.parts) {
            if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..") ||
                part.contains(QLatin1Char('/')) || part.contains(QLatin1Char('\\')) ||
                part.toUtf8().size() > 255)
                __builtin_trap();
            for (const QChar ch : part)
                if (ch.unicode() < 0x20)
                    __builtin_trap();
        }
    }
    return 0;
}
