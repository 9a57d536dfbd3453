#include "widgets/hex_format.h"

namespace vorn
{

namespace
{
constexpr char kDigits[] = "0123456789abcdef";
}

int hex_offset_digits(qint64 size)
{
    int digits = 1;
    for (quint64 last = size > 0 ? quint64(size - 1) : 0; last >= 16; last >>= 4)
        ++digits;
    return qMax(8, digits);
}

void format_hex_line(const unsigned char *data, int count, qint64 offset, const HexLayout &layout,
                     QString *out)
{
    const int width = layout.lineColumns();
    out->resize(width);
    QChar *p = out->data();
    for (int i = 0; i < width; ++i)
        p[i] = QLatin1Char(' ');
    quint64 off = quint64(offset);
    for (int d = layout.offsetDigits - 1; d >= 0; --d) {
        p[d] = QLatin1Char(kDigits[off & 0xF]);
        off >>= 4;
    }
    p[layout.offsetDigits] = QLatin1Char(':');
    for (int i = 0; i < count; ++i) {
        const unsigned char b = data[i];
        const int h = layout.hexColumn(i);
        p[h] = QLatin1Char(kDigits[b >> 4]);
        p[h + 1] = QLatin1Char(kDigits[b & 0xF]);
        p[layout.asciiColumn(i)] = QLatin1Char(b >= 0x20 && b < 0x7F ? char(b) : '.');
    }
    out->truncate(layout.asciiColumn(count));
}

} // namespace vorn
