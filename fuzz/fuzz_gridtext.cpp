// Feeds arbitrary bytes to the grid text reader (vorn.pth, vorn.msk, sort templates).
#include "base/grid_text.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // A grid as the program holds it before a load: the mask grid's size.
    vorn::StringGrid grid(14, 1);
    grid.setCell(3, 0, QStringLiteral("kept"));
    // Any grid of up to 65536 cells is accepted whatever the file's length (larger ones need a
    // file that holds something for them), so what was read can be written and read back.
    if (vorn::parse_grid_text(bytes, grid) == vorn::GridLoadStatus::Ok &&
        qint64(grid.colCount()) * grid.rowCount() <= (1 << 16)) {
        vorn::StringGrid again(1, 1);
        const QByteArray text = vorn::grid_text_lines(grid).join(QStringLiteral("\r\n")).toUtf8();
        if (vorn::parse_grid_text(text, again) != vorn::GridLoadStatus::Ok || !(again == grid))
            __builtin_trap();
    }
    return 0;
}
