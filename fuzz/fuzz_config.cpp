// Feeds arbitrary bytes to the reader of vorn.cfg: decoding, line splitting and parsing.
#include "base/config_file.h"
#include "base/text_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList lines = vorn::decode_lines(bytes);
    vorn::Config config = vorn::parse_config(lines);
    // The held lines are always four, so a language choice can replace line 3.
    if (config.lines.size() != 4)
        __builtin_trap();
    (void)config.opensMaximized();
    return 0;
}
