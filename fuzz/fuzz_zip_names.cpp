// Feeds arbitrary names to the entry name check: whatever it lets through must be a path that
// stays below the target folder.
#include "archives/zip_names.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The bytes as UTF-8 (as libzip hands names over) and as Latin-1, to reach every character.
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString &name : {QString::fromUtf8(raw), QString::fromLatin1(raw)}) {
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
