#include "rename/rename_journal.h"

#include "base/text_file.h"
#include "files/file_ops.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn
{

namespace
{

const QString kHeader = QStringLiteral("vorn rename journal 1");

// Names are kept as the hex of their native bytes: any name, one field, no escaping.
QString encode(const QString &name)
{
    return QString::fromLatin1(QFile::encodeName(name).toHex());
}
QString decode(QStringView hex)
{
    return QFile::decodeName(QByteArray::fromHex(hex.toLatin1()));
}

QString checksum(const QStringList &lines)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(lines.join(QLatin1Char('\n')).toUtf8(), QCryptographicHash::Sha256).toHex());
}

bool exists(const QString &path)
{
    struct stat st = {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

bool file_id(const QString &path, quint64 *device, FileId *id)
{
    struct stat st = {};
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    *device = quint64(st.st_dev);
    id->inode = quint64(st.st_ino);
    id->size = qint64(st.st_size);
    id->mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

RenameJournal::RenameJournal(QString file) : file_(std::move(file)) {}

QStringList RenameJournal::to_lines(const QList<RenameJournalRun> &runs)
{
    QStringList lines{kHeader};
    for (const RenameJournalRun &r : runs) {
        lines << QStringLiteral("run\t%1\t%2\t%3\t%4")
                     .arg(r.undo ? QLatin1Char('u') : QLatin1Char('r'))
                     .arg(r.open ? QStringLiteral("open") : QStringLiteral("done"))
                     .arg(r.device)
                     .arg(encode(r.folder));
        for (const RenameJournalEntry &e : r.entries)
            lines << QStringLiteral("f\t%1 %2 %3\t%4\t%5\t%6")
                         .arg(e.id.inode)
                         .arg(e.id.size)
                         .arg(e.id.mtimeNs)
                         .arg(encode(e.oldName),
                              e.tempName.isEmpty() ? QStringLiteral("-") : encode(e.tempName),
                              encode(e.newName));
    }
    lines << QStringLiteral("sum\t") + checksum(lines);
    return lines;
}

QList<RenameJournalRun> RenameJournal::from_lines(const QStringList &linesIn, bool *damaged)
{
    QList<RenameJournalRun> runs;
    bool bad = false;
    QStringList lines = linesIn;
    if (lines.isEmpty() || lines.first() != kHeader || !lines.last().startsWith(QLatin1String("sum\t")) ||
        lines.last().mid(4) != checksum(lines.mid(0, lines.size() - 1))) {
        if (damaged)
            *damaged = !lines.isEmpty();
        return runs;
    }
    lines.removeLast();
    for (qsizetype i = 1; i < lines.size() && !bad; ++i) {
        const QList<QStringView> f = QStringView(lines[i]).split(QLatin1Char('\t'));
        bool ok1 = false;
        if (f.size() == 5 && f[0] == QLatin1String("run")) {
            RenameJournalRun r;
            r.undo = f[1] == QLatin1String("u");
            r.open = f[2] == QLatin1String("open");
            r.device = f[3].toULongLong(&ok1);
            r.folder = decode(f[4]);
            bad = !ok1 || !r.folder.startsWith(QLatin1Char('/')) || !r.folder.endsWith(QLatin1Char('/'));
            runs << r;
        } else if (f.size() == 5 && f[0] == QLatin1String("f") && !runs.isEmpty()) {
            RenameJournalEntry e;
            const QList<QStringView> id = f[1].split(QLatin1Char(' '));
            bool ok2 = false;
            bool ok3 = false;
            if (id.size() == 3) {
                e.id.inode = id[0].toULongLong(&ok1);
                e.id.size = id[1].toLongLong(&ok2);
                e.id.mtimeNs = id[2].toLongLong(&ok3);
            }
            ok1 = ok1 && ok2 && ok3;
            e.oldName = decode(f[2]);
            e.tempName = f[3] == QLatin1String("-") ? QString() : decode(f[3]);
            e.newName = decode(f[4]);
            bad = !ok1 || !is_usable_name(e.oldName) || !is_usable_name(e.newName) ||
                  (!e.tempName.isEmpty() && !is_usable_name(e.tempName));
            runs.last().entries << e;
        } else {
            bad = true;
        }
    }
    if (damaged)
        *damaged = bad;
    return bad ? QList<RenameJournalRun>() : runs;
}

bool RenameJournal::load()
{
    runs_.clear();
    if (file_.isEmpty() || !QFileInfo::exists(file_))
        return true;
    QStringList lines;
    bool damaged = QFileInfo(file_).size() > (256 << 20) || !read_text_lines(file_, &lines);
    if (!damaged)
        runs_ = from_lines(lines, &damaged);
    // A damaged journal is kept aside for inspection; the next run starts a fresh one instead
    // of writing over it.
    if (damaged)
        setAside_ = FileOps::set_aside(file_);
    return !damaged;
}

bool RenameJournal::save()
{
    return file_.isEmpty() || write_text_lines(file_, to_lines(runs_));
}

QString RenameJournal::locate(const RenameJournalRun &run, const RenameJournalEntry &e)
{
    for (const QString &name : {e.newName, e.tempName, e.oldName}) {
        quint64 dev = 0;
        FileId id;
        if (!name.isEmpty() && file_id(run.folder + name, &dev, &id) && dev == run.device && id == e.id)
            return name;
    }
    return {};
}

RenameOutcome RenameJournal::execute(const QString &folderIn, const QList<RenameMove> &moves, bool undo,
                                     const RenameProgress &progress, bool *appended)
{
    *appended = false;
    const QString folder = folderIn.endsWith(QLatin1Char('/')) ? folderIn : folderIn + QLatin1Char('/');
    RenameOutcome out;
    RenameJournalRun run;
    run.undo = undo;
    run.folder = folder;
    FileId folderId;
    file_id(folder, &run.device, &folderId);

    QSet<QString> froms;
    for (const RenameMove &m : moves)
        froms.insert(m.from);
    QSet<QString> taken = froms;
    for (const RenameMove &m : moves)
        taken.insert(m.to);
    int serial = 0;
    const QString tempStem = QStringLiteral(".vorn-rename-%1-").arg(QCoreApplication::applicationPid());
    for (const RenameMove &m : moves) {
        RenameJournalEntry e;
        e.oldName = m.from;
        e.newName = m.to;
        quint64 dev = 0;
        if (!file_id(folder + m.from, &dev, &e.id)) {
            out.failures << RenameFailure{m.from, errno};
            continue;
        }
        if (froms.contains(m.to)) {
            do
                e.tempName = tempStem + QString::number(++serial);
            while (taken.contains(e.tempName) || exists(folder + e.tempName));
        }
        run.entries << e;
    }
    if (run.entries.isEmpty())
        return out;
    runs_ << run;
    *appended = true;
    save(); // written ahead: from here on every file is under a name the journal knows

    const int total = int(run.entries.size());
    int done = 0;
    auto step = [&] {
        if (progress)
            progress(++done, total);
    };
    auto failed = [&](const QString &name, const FileOpResult &r) {
        out.failures << RenameFailure{name, r.errorCode};
    };
    QList<bool> parked(run.entries.size(), false);
    // Phase 1: files whose new name is held by another file of the run step aside.
    for (int i = 0; i < run.entries.size(); ++i) {
        const RenameJournalEntry &e = run.entries[i];
        if (e.tempName.isEmpty())
            continue;
        const FileOpResult r = FileOps::rename_no_replace(folder + e.oldName, folder + e.tempName);
        if (r.ok)
            parked[i] = true;
        else
            failed(e.oldName, r), step();
    }
    // Phase 2: direct renames first, so the names they free are free for the parked files.
    for (int i = 0; i < run.entries.size(); ++i) {
        const RenameJournalEntry &e = run.entries[i];
        if (!e.tempName.isEmpty())
            continue;
        const FileOpResult r = FileOps::rename_no_replace(folder + e.oldName, folder + e.newName);
        r.ok ? void(++out.renamed) : failed(e.oldName, r);
        step();
    }
    for (int i = 0; i < run.entries.size(); ++i) {
        if (!parked[i])
            continue;
        const RenameJournalEntry &e = run.entries[i];
        const FileOpResult r = FileOps::rename_no_replace(folder + e.tempName, folder + e.newName);
        if (r.ok) {
            ++out.renamed;
        } else {
            // Someone took the name meanwhile: back under the old name when it is still free.
            failed(e.oldName, r);
            FileOps::rename_no_replace(folder + e.tempName, folder + e.oldName);
        }
        step();
    }
    runs_.last().open = false;
    save();
    return out;
}

RenameOutcome RenameJournal::run(const QString &folder, const QList<RenameMove> &moves,
                                 const RenameProgress &progress)
{
    bool appended = false;
    RenameOutcome out = execute(folder, moves, false, progress, &appended);
    while (runs_.size() > kMaxRuns)
        runs_.removeFirst();
    save();
    return out;
}

RenameOutcome RenameJournal::undo_last(const RenameProgress &progress)
{
    RenameOutcome out;
    if (!canUndo())
        return out;
    const RenameJournalRun last = runs_.last();
    QList<RenameRow> rows;
    for (const RenameJournalEntry &e : last.entries) {
        quint64 dev = 0;
        FileId id;
        if (file_id(last.folder + e.newName, &dev, &id) && dev == last.device && id == e.id)
            rows << RenameRow{e.newName, e.oldName};
        else
            out.failures << RenameFailure{e.newName, RefusedChanged};
    }
    const RenameCheck check = check_renames(last.folder, rows);
    QList<RenameMove> moves;
    for (int i = 0; i < rows.size(); ++i) {
        if (check.rows[i] == RowCheck::Rename)
            moves << RenameMove{rows[i].oldName, rows[i].newName};
        else if (check.rows[i] == RowCheck::Taken || check.rows[i] == RowCheck::Repeated)
            out.failures << RenameFailure{rows[i].oldName, RefusedTaken};
    }
    bool appended = false;
    const RenameOutcome done = execute(last.folder, moves, true, progress, &appended);
    out.renamed = done.renamed;
    out.failures += done.failures;
    // The undo and the run it undid both leave the journal.
    if (appended)
        runs_.removeLast();
    runs_.removeLast();
    save();
    return out;
}

RenameOutcome RenameJournal::recover(bool finish, const RenameProgress &progress)
{
    RenameOutcome out;
    if (!hasOpenRun())
        return out;
    RenameJournalRun cut = runs_.takeLast();
    QList<RenameRow> rows;
    for (const RenameJournalEntry &e : cut.entries) {
        const QString now = locate(cut, e);
        const QString target = finish ? e.newName : e.oldName;
        if (now.isEmpty())
            out.failures << RenameFailure{e.newName, RefusedChanged};
        else if (now != target)
            rows << RenameRow{now, target};
    }
    const RenameCheck check = check_renames(cut.folder, rows);
    QList<RenameMove> moves;
    for (int i = 0; i < rows.size(); ++i) {
        if (check.rows[i] == RowCheck::Rename)
            moves << RenameMove{rows[i].oldName, rows[i].newName};
        else if (check.rows[i] != RowCheck::Same)
            out.failures << RenameFailure{rows[i].oldName, RefusedTaken};
    }
    // The recovery run stands for the cut run while it goes, then the journal says what is
    // true afterwards: a finished run can be undone, an undone one is gone.
    bool appended = false;
    const RenameOutcome done = execute(cut.folder, moves, cut.undo, progress, &appended);
    out.renamed = done.renamed;
    out.failures += done.failures;
    if (appended)
        runs_.removeLast();
    if (finish && !cut.undo) {
        cut.open = false;
        runs_ << cut;
    } else if (finish && cut.undo && !runs_.isEmpty()) {
        runs_.removeLast(); // the run it undid
    }
    save();
    return out;
}

} // namespace vorn
