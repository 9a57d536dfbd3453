// Feeds arbitrary bytes to the rename journal reader (vorn-rename.jnl in the program folder):
// whatever it accepts must write back to the same lines and read back to the same runs.
#include "base/text_file.h"
#include "rename/rename_journal.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    bool damaged = false;
    const QList<vorn::RenameJournalRun> runs =
        vorn::RenameJournal::from_lines(vorn::decode_lines(bytes), &damaged);
    if (!runs.isEmpty()) {
        bool again = false;
        if (vorn::RenameJournal::from_lines(vorn::RenameJournal::to_lines(runs), &again) != runs || again)
            __builtin_trap();
    }
    return 0;
}
