// Feeds arbitrary bytes to the undo journal reader and to the file-name codec. What a journal
// holds must read back the same after it is written again, and every name that has no NUL must
// come back as the same bytes from its text form.
#include "files/file_helpers.h"
#include "sorting/sort_journal.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    if (!bytes.contains('\0') && vorn::native_path(vorn::path_from_native(bytes)) != bytes &&
        !bytes.isEmpty())
        __builtin_trap();

    const std::optional<vorn::SortJournal::ParsedJournal> parsed = vorn::SortJournal::parse(bytes);
    if (!parsed)
        return 0;
    QByteArray again("vorn sort journal 2\n");
    for (const vorn::JournalRun &run : parsed->runs) {
        const QByteArray id = QByteArray::number(run.id);
        again += vorn::SortJournal::encode_record({"run", id});
        for (const vorn::SortStep &s : run.steps)
            again += vorn::SortJournal::encode_record(
                {"step", id, s.op == vorn::SortOp::Move ? "m" : "c", vorn::native_path(s.from),
                 vorn::native_path(s.to), QByteArray::number(s.identity.device),
                 QByteArray::number(s.identity.inode), QByteArray::number(s.identity.size),
                 QByteArray::number(s.identity.mtimeNs)});
        if (run.closed)
            again += vorn::SortJournal::encode_record({"end", id});
    }
    // Damaged records are not written again: a run that held only those is gone then.
    QList<vorn::JournalRun> expected = parsed->runs;
    expected.removeIf([](const vorn::JournalRun &r) { return r.steps.isEmpty(); });
    const std::optional<vorn::SortJournal::ParsedJournal> back = vorn::SortJournal::parse(again);
    if (!back || back->runs.size() != expected.size())
        __builtin_trap();
    for (qsizetype i = 0; i < back->runs.size(); ++i)
        if (back->runs[i].steps != expected[i].steps || back->runs[i].closed != expected[i].closed)
            __builtin_trap();
    return 0;
}
