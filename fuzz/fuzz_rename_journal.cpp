// Feeds arbitrary bytes to the rename journal reader (vorn-rename.jnl in the program folder,
// the appended form and the older rewritten one): whatever it accepts must write back to bytes
// that read back to the same runs.
#include "rename/rename_journal.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QList<vorn::RenameJournalRun>> runs = vorn::RenameJournal::parse(bytes);
    if (runs && vorn::RenameJournal::parse(vorn::RenameJournal::encode(*runs)) != runs)
        __builtin_trap();
    return 0;
}
