// The text of one line of a hex dump: the offset in hexadecimal followed by ":", the bytes in
// groups of two, and the bytes as ASCII (a dot for anything not printable). With 16 bytes per
// line the line reads exactly like the dump of `xxd`.
#pragma once

#include <QString>

namespace vorn
{

struct HexLayout {
    int bytesPerLine = 16;
    int offsetDigits = 8;

    // Column of the first hex digit of byte i of a line, and of its ASCII character.
    int hexColumn(int i) const { return offsetDigits + 2 + i * 2 + i / 2; }
    int asciiColumn(int i) const { return offsetDigits + 2 + bytesPerLine * 2 + bytesPerLine / 2 + 1 + i; }
    int lineColumns() const { return asciiColumn(bytesPerLine); }
};

// At least 8 digits, more when the last offset of a file of `size` bytes needs them.
int hex_offset_digits(qint64 size);
// The line for `count` (at most layout.bytesPerLine) bytes at `data` that start at `offset`.
// `out` is overwritten; its capacity is kept, so painting line after line allocates nothing.
void format_hex_line(const unsigned char *data, int count, qint64 offset, const HexLayout &layout,
                     QString *out);

} // namespace vorn
