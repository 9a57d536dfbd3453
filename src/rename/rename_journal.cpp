#include "rename/rename_journal.h"

#include "base/text_file.h"
#include "files/file_helpers.h"
#include "files/file_ops.h"
#include "sorting/sort_journal.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace vorn
{

namespace
{

const QByteArray kHeader = "vorn rename journal 2\n";
// The form before appending: whole-file rewrites of text lines with one checksum at the end.
const QString kOldHeader = QStringLiteral("vorn rename journal 1");
constexpr qint64 kMaxFileBytes = qint64(256) << 20;

bool exists(const QString &path)
{
    struct stat st = {};
    return lstat(native_path(path).constData(), &st) == 0;
}

bool write_all(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

bool usable_folder(const QString &folder)
{
    return folder.startsWith(QLatin1Char('/')) && folder.endsWith(QLatin1Char('/')) &&
           !native_path(folder).isEmpty();
}

bool usable_entry(const RenameJournalEntry &e)
{
    return is_usable_name(e.oldName) && is_usable_name(e.newName) &&
           (e.tempName.isEmpty() || is_usable_name(e.tempName));
}

QByteArrayList run_fields(const RenameJournalRun &r)
{
    return {"run", QByteArray::number(r.serial), r.undo ? "u" : "r", QByteArray::number(r.device),
            native_path(r.folder)};
}

QByteArrayList entry_fields(quint64 serial, const RenameJournalEntry &e)
{
    return {"f",
            QByteArray::number(serial),
            QByteArray::number(e.id.inode),
            QByteArray::number(e.id.size),
            QByteArray::number(e.id.birthNs),
            native_path(e.oldName),
            native_path(e.tempName),
            native_path(e.newName)};
}

struct Parsed {
    QList<RenameJournalRun> runs;
    int runRecords = 0;
    qint64 validSize = 0; // the bytes up to the last whole record
    quint64 nextSerial = 1;
    bool oldForm = false;
};

// The older form: text lines, names as the hex of their bytes, one checksum over the file.
std::optional<Parsed> parse_old(const QByteArray &bytes)
{
    QStringList lines = decode_lines(bytes);
    auto checksum = [](const QStringList &l) {
        return QString::fromLatin1(
            QCryptographicHash::hash(l.join(QLatin1Char('\n')).toUtf8(), QCryptographicHash::Sha256).toHex());
    };
    if (lines.isEmpty() || lines.first() != kOldHeader || !lines.last().startsWith(QLatin1String("sum\t")) ||
        lines.last().mid(4) != checksum(lines.mid(0, lines.size() - 1)))
        return std::nullopt;
    lines.removeLast();
    auto decode = [](QStringView hex) { return path_from_native(QByteArray::fromHex(hex.toLatin1())); };
    Parsed out;
    out.oldForm = true;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QStringView> f = QStringView(lines[i]).split(QLatin1Char('\t'));
        bool ok = false;
        if (f.size() == 5 && f[0] == QLatin1String("run")) {
            RenameJournalRun r;
            r.undo = f[1] == QLatin1String("u");
            r.open = f[2] == QLatin1String("open");
            r.device = f[3].toULongLong(&ok);
            r.folder = decode(f[4]);
            r.serial = out.nextSerial++;
            if (!ok || !usable_folder(r.folder))
                return std::nullopt;
            out.runs << r;
        } else if (f.size() == 5 && f[0] == QLatin1String("f") && !out.runs.isEmpty()) {
            RenameJournalEntry e;
            const QList<QStringView> id = f[1].split(QLatin1Char(' '));
            bool ok2 = false, ok3 = false;
            if (id.size() == 3) {
                e.id.inode = id[0].toULongLong(&ok);
                e.id.size = id[1].toLongLong(&ok2);
                (void)id[2].toLongLong(&ok3); // the modification time, no longer part of the identity
            }
            e.oldName = decode(f[2]);
            e.tempName = f[3] == QLatin1String("-") ? QString() : decode(f[3]);
            e.newName = decode(f[4]);
            if (!ok || !ok2 || !ok3 || !usable_entry(e))
                return std::nullopt;
            out.runs.last().entries << e;
        } else {
            return std::nullopt;
        }
    }
    out.runRecords = int(out.runs.size());
    out.validSize = bytes.size();
    return out;
}

std::optional<Parsed> parse_journal(const QByteArray &bytes)
{
    if (!bytes.startsWith(kHeader))
        return parse_old(bytes);
    Parsed out;
    QSet<quint64> seen;
    auto runOf = [&out](quint64 serial) -> RenameJournalRun * {
        for (qsizetype i = out.runs.size() - 1; i >= 0; --i)
            if (out.runs[i].serial == serial)
                return &out.runs[i];
        return nullptr;
    };
    qsizetype pos = kHeader.size();
    QByteArrayList f;
    while (pos < bytes.size()) {
        const qsizetype nl = bytes.indexOf('\n', pos);
        if (nl < 0)
            break; // cut short by a crash while it was appended: never acted on
        const QByteArray line = bytes.mid(pos, nl + 1 - pos);
        pos = nl + 1;
        bool ok = false;
        const quint64 serial =
            SortJournal::decode_record(line, &f) && f.size() >= 2 ? f[1].toULongLong(&ok) : 0;
        if (!ok || serial == 0 || serial == std::numeric_limits<quint64>::max())
            return std::nullopt;
        RenameJournalRun *run = runOf(serial);
        if (f[0] == "run" && f.size() == 5 && !seen.contains(serial) && (f[2] == "r" || f[2] == "u")) {
            RenameJournalRun r;
            r.serial = serial;
            r.undo = f[2] == "u";
            r.device = f[3].toULongLong(&ok);
            r.folder = path_from_native(f[4]);
            if (!ok || !usable_folder(r.folder))
                return std::nullopt;
            seen.insert(serial);
            out.runs << r;
            ++out.runRecords;
        } else if (f[0] == "f" && f.size() == 8 && run && run->open) {
            RenameJournalEntry e;
            bool ok2 = false, ok3 = false;
            e.id.inode = f[2].toULongLong(&ok);
            e.id.size = f[3].toLongLong(&ok2);
            e.id.birthNs = f[4].toLongLong(&ok3);
            e.oldName = path_from_native(f[5]);
            e.tempName = path_from_native(f[6]);
            e.newName = path_from_native(f[7]);
            if (!ok || !ok2 || !ok3 || !usable_entry(e))
                return std::nullopt;
            run->entries << e;
        } else if (f[0] == "done" && f.size() == 2 && run) {
            run->open = false;
        } else if (f[0] == "drop" && f.size() == 2 && seen.contains(serial)) {
            if (run)
                out.runs.removeAt(run - out.runs.data());
        } else {
            return std::nullopt;
        }
        out.nextSerial = qMax(out.nextSerial, serial + 1);
    }
    out.validSize = pos;
    while (out.runs.size() > RenameJournal::kMaxRuns)
        out.runs.removeFirst();
    return out;
}

} // namespace

bool file_id(const QString &path, quint64 *device, FileId *id)
{
    struct statx sx = {};
    if (statx(AT_FDCWD, native_path(path).constData(), AT_SYMLINK_NOFOLLOW,
              STATX_INO | STATX_SIZE | STATX_BTIME, &sx) != 0)
        return false;
    *device = quint64(makedev(sx.stx_dev_major, sx.stx_dev_minor));
    id->inode = quint64(sx.stx_ino);
    id->size = qint64(sx.stx_size);
    id->birthNs =
        (sx.stx_mask & STATX_BTIME) ? qint64(sx.stx_btime.tv_sec) * 1000000000 + sx.stx_btime.tv_nsec : 0;
    return true;
}

bool same_file(const FileId &a, const FileId &b)
{
    return a.inode == b.inode && a.size == b.size &&
           (a.birthNs == 0 || b.birthNs == 0 || a.birthNs == b.birthNs);
}

RenameJournal::RenameJournal(QString file) : file_(std::move(file)) {}

RenameJournal::~RenameJournal()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QByteArray RenameJournal::encode(const QList<RenameJournalRun> &runs)
{
    QByteArray out = kHeader;
    for (const RenameJournalRun &r : runs) {
        out += SortJournal::encode_record(run_fields(r));
        for (const RenameJournalEntry &e : r.entries)
            out += SortJournal::encode_record(entry_fields(r.serial, e));
        if (!r.open)
            out += SortJournal::encode_record({"done", QByteArray::number(r.serial)});
    }
    return out;
}

std::optional<QList<RenameJournalRun>> RenameJournal::parse(const QByteArray &bytes)
{
    std::optional<Parsed> p = parse_journal(bytes);
    if (!p)
        return std::nullopt;
    return p->runs;
}

QString RenameJournal::setAsidePath() const
{
    std::lock_guard lock(m_);
    return setAside_;
}

QList<RenameJournalRun> RenameJournal::runs() const
{
    std::lock_guard lock(m_);
    return runs_;
}

bool RenameJournal::hasOpenRun() const
{
    std::lock_guard lock(m_);
    return !runs_.isEmpty() && runs_.last().open;
}

bool RenameJournal::canUndo() const
{
    std::lock_guard lock(m_);
    return !runs_.isEmpty() && !runs_.last().open && !runs_.last().undo;
}

bool RenameJournal::load()
{
    std::lock_guard lock(m_);
    return loadLocked();
}

bool RenameJournal::loadLocked()
{
    loaded_ = true;
    runs_.clear();
    setAside_.clear();
    oldForm_ = false;
    writable_ = true;
    size_ = 0;
    runsInFile_ = 0;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (file_.isEmpty())
        return true;
    const int fd = ::open(native_path(file_).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT)
        return true;
    QByteArray bytes;
    bool readable = fd >= 0;
    if (readable) {
        struct stat st = {};
        readable = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxFileBytes;
        if (readable) {
            bytes.resize(qsizetype(st.st_size));
            qsizetype got = 0;
            while (got < bytes.size()) {
                const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break;
                got += n;
            }
            bytes.truncate(got);
        }
        ::close(fd);
    }
    std::optional<Parsed> parsed;
    if (readable && !bytes.isEmpty())
        parsed = parse_journal(bytes);
    else if (readable)
        parsed = Parsed{};
    if (!parsed) {
        // Kept aside for inspection; the next run starts a fresh journal instead of writing
        // over it. Where it cannot be moved, this session keeps its journal in memory.
        setAside_ = FileOps::set_aside(file_);
        writable_ = !setAside_.isEmpty();
        return false;
    }
    runs_ = std::move(parsed->runs);
    runsInFile_ = parsed->runRecords;
    size_ = parsed->validSize;
    oldForm_ = parsed->oldForm;
    nextSerial_ = qMax(nextSerial_, parsed->nextSerial);
    return true;
}

bool RenameJournal::needsCompaction() const
{
    std::lock_guard lock(m_);
    const int forgotten = runsInFile_ - int(runs_.size());
    return writable_ && !file_.isEmpty() &&
           (oldForm_ || forgotten > kSpareRuns || (size_ > kMaxBytes && forgotten > 0));
}

bool RenameJournal::compact()
{
    std::lock_guard lock(m_);
    if (!loaded_)
        loadLocked();
    return compactLocked();
}

bool RenameJournal::compactLocked()
{
    if (file_.isEmpty() || !writable_)
        return false;
    const QByteArray bytes = encode(runs_);
    if (!write_file_atomic(native_path(file_), bytes, nullptr, 0600))
        return false;
    // The appending descriptor still names the file that was replaced.
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    size_ = bytes.size();
    runsInFile_ = int(runs_.size());
    oldForm_ = false;
    return true;
}

bool RenameJournal::append(const QList<QByteArrayList> &records, bool sync)
{
    if (file_.isEmpty() || !writable_)
        return false;
    if (oldForm_ && !compactLocked())
        return false; // never appended to a file of the older form
    if (fd_ < 0) {
        fd_ = ::open(native_path(file_).constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd_ < 0)
            return false;
        struct stat st = {};
        if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || (st.st_size > 0 && st.st_size < size_)) {
            ::close(fd_);
            fd_ = -1;
            return false;
        }
        // A record cut short by a crash goes, or the next one would be read as damaged.
        if (st.st_size == 0)
            size_ = 0;
        else if (st.st_size > size_ && ftruncate(fd_, size_) != 0)
            return false;
        if (lseek(fd_, 0, SEEK_END) < 0 || (size_ == 0 && !write_all(fd_, kHeader)))
            return false;
        if (size_ == 0)
            size_ = kHeader.size();
    }
    QByteArray bytes;
    for (const QByteArrayList &r : records)
        bytes += SortJournal::encode_record(r);
    if (!write_all(fd_, bytes)) {
        // Whatever part went out is cut off again.
        if (ftruncate(fd_, size_) != 0 || lseek(fd_, 0, SEEK_END) < 0) {
            ::close(fd_);
            fd_ = -1;
        }
        return false;
    }
    size_ += bytes.size();
    return !sync || ::fdatasync(fd_) == 0;
}

void RenameJournal::appendRun(RenameJournalRun &run)
{
    run.serial = nextSerial_++;
    QList<QByteArrayList> records;
    records.reserve(run.entries.size() + 1);
    records << run_fields(run);
    for (const RenameJournalEntry &e : run.entries)
        records << entry_fields(run.serial, e);
    // Written ahead: from here on every file is under a name the journal knows.
    if (append(records, true))
        ++runsInFile_;
    runs_ << run;
}

void RenameJournal::close(quint64 serial)
{
    for (RenameJournalRun &r : runs_)
        if (r.serial == serial)
            r.open = false;
    // Not synced: a close lost in a crash leaves an open run whose files are all under their
    // new names, which recovery finishes without touching a file.
    append({{"done", QByteArray::number(serial)}}, false);
}

void RenameJournal::drop(quint64 serial)
{
    runs_.removeIf([serial](const RenameJournalRun &r) { return r.serial == serial; });
    append({{"drop", QByteArray::number(serial)}}, true);
}

void RenameJournal::trim()
{
    while (runs_.size() > kMaxRuns)
        runs_.removeFirst();
}

QString RenameJournal::locate(const RenameJournalRun &run, const RenameJournalEntry &e)
{
    for (const QString &name : {e.newName, e.tempName, e.oldName}) {
        quint64 dev = 0;
        FileId id;
        if (!name.isEmpty() && file_id(run.folder + name, &dev, &id) && dev == run.device &&
            same_file(id, e.id))
            return name;
    }
    return {};
}

RenameOutcome RenameJournal::execute(const QString &folderIn, const QList<RenameMove> &moves, bool undo,
                                     const RenameProgress &progress, quint64 *serial)
{
    *serial = 0;
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
    int serialName = 0;
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
                e.tempName = tempStem + QString::number(++serialName);
            while (taken.contains(e.tempName) || exists(folder + e.tempName));
        }
        run.entries << e;
    }
    if (run.entries.isEmpty())
        return out;
    appendRun(run);
    *serial = run.serial;

    const int total = int(run.entries.size());
    out.planned = total;
    int done = 0;
    // Asked before each file; once it says no, no further file is started.
    auto goOn = [&](const RenameJournalEntry &e) {
        if (!out.cancelled && progress && !progress(done, total, e.oldName))
            out.cancelled = true;
        return !out.cancelled;
    };
    auto failed = [&](const QString &name, const FileOpResult &r) {
        out.failures << RenameFailure{name, r.errorCode};
    };
    auto renamed = [&](const RenameJournalEntry &e) {
        ++out.renamed;
        out.newNames << e.newName;
    };
    QList<bool> parked(run.entries.size(), false);
    // Phase 1: files whose new name is held by another file of the run step aside.
    for (int i = 0; i < run.entries.size(); ++i) {
        const RenameJournalEntry &e = run.entries[i];
        if (e.tempName.isEmpty())
            continue;
        if (!goOn(e))
            break;
        const FileOpResult r = FileOps::rename_no_replace(folder + e.oldName, folder + e.tempName);
        if (r.ok)
            parked[i] = true;
        else
            failed(e.oldName, r), ++done;
    }
    // Phase 2: direct renames first, so the names they free are free for the parked files.
    // Their new names are no old names of the run, so a parked file's old name stays free.
    for (int i = 0; i < run.entries.size(); ++i) {
        const RenameJournalEntry &e = run.entries[i];
        if (!e.tempName.isEmpty())
            continue;
        if (!goOn(e))
            break;
        const FileOpResult r = FileOps::rename_no_replace(folder + e.oldName, folder + e.newName);
        r.ok ? renamed(e) : failed(e.oldName, r);
        ++done;
    }
    // Phase 3: the parked files take their new names; after a cancel they go back to their old
    // ones instead, or on to the new one where another file of the run has taken the old one.
    for (int i = 0; i < run.entries.size(); ++i) {
        if (!parked[i])
            continue;
        const RenameJournalEntry &e = run.entries[i];
        if (!goOn(e) && FileOps::rename_no_replace(folder + e.tempName, folder + e.oldName).ok)
            continue;
        const FileOpResult r = FileOps::rename_no_replace(folder + e.tempName, folder + e.newName);
        if (r.ok) {
            renamed(e);
        } else {
            // Someone took the name meanwhile: back under the old name when it is still free.
            failed(e.oldName, r);
            FileOps::rename_no_replace(folder + e.tempName, folder + e.oldName);
        }
        ++done;
    }
    if (progress)
        progress(done, total, {});
    close(run.serial);
    return out;
}

RenameOutcome RenameJournal::run(const QString &folder, const QList<RenameMove> &moves,
                                 const RenameProgress &progress)
{
    std::lock_guard lock(m_);
    if (!loaded_)
        loadLocked();
    quint64 serial = 0;
    RenameOutcome out = execute(folder, moves, false, progress, &serial);
    trim();
    return out;
}

RenameOutcome RenameJournal::undo_last(const RenameProgress &progress)
{
    std::lock_guard lock(m_);
    if (!loaded_)
        loadLocked();
    RenameOutcome out;
    if (runs_.isEmpty() || runs_.last().open || runs_.last().undo)
        return out;
    const RenameJournalRun last = runs_.last();
    QList<RenameRow> rows;
    for (const RenameJournalEntry &e : last.entries) {
        quint64 dev = 0;
        FileId id;
        if (file_id(last.folder + e.newName, &dev, &id) && dev == last.device && same_file(id, e.id))
            rows << RenameRow{e.newName, e.oldName};
        else if (file_id(last.folder + e.oldName, &dev, &id) && dev == last.device && same_file(id, e.id))
            continue; // still (or again) under its old name: a refused or cancelled file
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
    quint64 serial = 0;
    const RenameOutcome done = execute(last.folder, moves, true, progress, &serial);
    out.renamed = done.renamed;
    out.newNames = done.newNames;
    out.failures += done.failures;
    out.cancelled = done.cancelled;
    out.planned = done.planned;
    // The undo and the run it undid both leave the journal. A cancelled undo keeps the run: the
    // files it did not reach can still be undone, those it did are under their old names.
    if (serial)
        drop(serial);
    if (!done.cancelled)
        drop(last.serial);
    return out;
}

RenameOutcome RenameJournal::recover(bool finish, const RenameProgress &progress)
{
    std::lock_guard lock(m_);
    if (!loaded_)
        loadLocked();
    RenameOutcome out;
    if (runs_.isEmpty() || !runs_.last().open)
        return out;
    const RenameJournalRun cut = runs_.last();
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
    quint64 serial = 0;
    // Never cancelled: the journal has to end up saying what is true.
    const RenameProgress told = [&progress](int d, int t, const QString &name) {
        if (progress)
            progress(d, t, name);
        return true;
    };
    const RenameOutcome done = execute(cut.folder, moves, cut.undo, told, &serial);
    out.renamed = done.renamed;
    out.newNames = done.newNames;
    out.failures += done.failures;
    if (serial)
        drop(serial);
    if (finish && !cut.undo) {
        close(cut.serial);
    } else {
        drop(cut.serial);
        if (finish && !runs_.isEmpty())
            drop(runs_.last().serial); // the run the finished undo undid
    }
    return out;
}

} // namespace vorn
