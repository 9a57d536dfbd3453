#include "sorting/sort_journal.h"

#include "base/job.h"
#include "base/text_file.h"
#include "files/file_helpers.h"
#include "lang/texts.h"

#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn
{

namespace
{

const QByteArray kHeader = "vorn sort journal 2\n";

quint32 crc32_of(const QByteArray &data)
{
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char ch : data)
        c = table[(c ^ quint8(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// A field may hold any byte: '%', tab, CR and LF are escaped so that a record is one line.
QByteArray escape(const QByteArray &s)
{
    QByteArray out;
    out.reserve(s.size());
    for (const char c : s) {
        switch (c) {
        case '%':
            out += "%25";
            break;
        case '\t':
            out += "%09";
            break;
        case '\r':
            out += "%0D";
            break;
        case '\n':
            out += "%0A";
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray unescape(const QByteArray &s)
{
    return QByteArray::fromPercentEncoding(s);
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

QString nameOf(const QString &path)
{
    return shown_name(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
}

bool write_all(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// An absolute path of a file: never a folder or a relative name.
bool usable_step_path(const QString &path)
{
    return path.startsWith(QLatin1Char('/')) && !path.endsWith(QLatin1Char('/')) &&
           !native_path(path).isEmpty();
}

QByteArrayList step_fields(quint64 id, const SortStep &s)
{
    return {"step",
            QByteArray::number(id),
            s.op == SortOp::Move ? "m" : "c",
            native_path(s.from),
            native_path(s.to),
            QByteArray::number(s.identity.device),
            QByteArray::number(s.identity.inode),
            QByteArray::number(s.identity.size),
            QByteArray::number(s.identity.mtimeNs)};
}

} // namespace

// Puts the journal on the disk off the user-interface thread; requests made while a sync
// runs are served by one more sync.
class SortJournal::Syncer : public std::enable_shared_from_this<Syncer>
{
  public:
    explicit Syncer(int fd) : fd_(::dup(fd)) {}
    ~Syncer()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    void request()
    {
        std::lock_guard lock(m_);
        pending_ = true;
        if (!active_) {
            active_ = true;
            done_ = QtConcurrent::run([self = shared_from_this()] { self->drain(); });
        }
    }
    void wait()
    {
        QFuture<void> f;
        {
            std::lock_guard lock(m_);
            f = done_;
        }
        f.waitForFinished();
    }

  private:
    void drain()
    {
        for (;;) {
            {
                std::lock_guard lock(m_);
                if (!pending_) {
                    active_ = false;
                    return;
                }
                pending_ = false;
            }
            if (fd_ >= 0)
                ::fdatasync(fd_);
        }
    }

    int fd_;
    std::mutex m_;
    bool pending_ = false;
    bool active_ = false;
    QFuture<void> done_;
};

QByteArray SortJournal::encode_record(const QByteArrayList &fields)
{
    QByteArray payload;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i)
            payload += '\t';
        payload += escape(fields[i]);
    }
    return payload + '\t' + QByteArray::number(crc32_of(payload), 16).rightJustified(8, '0') + '\n';
}

bool SortJournal::decode_record(const QByteArray &line, QByteArrayList *fields)
{
    fields->clear();
    if (line.size() < 10 || !line.endsWith('\n'))
        return false;
    const QByteArray payload = line.left(line.size() - 10);
    if (line[line.size() - 10] != '\t')
        return false;
    bool ok = false;
    const quint32 sum = line.mid(line.size() - 9, 8).toUInt(&ok, 16);
    if (!ok || sum != crc32_of(payload))
        return false;
    for (const QByteArray &f : payload.split('\t'))
        fields->append(unescape(f));
    return true;
}

SortJournal::SortJournal(QString file) : file_(std::move(file)) {}

SortJournal::~SortJournal()
{
    flush();
    if (fd_ >= 0)
        ::close(fd_);
}

void SortJournal::flush()
{
    if (syncer_) {
        syncer_->request();
        syncer_->wait();
    }
}

void SortJournal::setAside()
{
    setAside_ = FileOps::set_aside(file_);
}

std::optional<SortJournal::ParsedJournal> SortJournal::parse(const QByteArray &bytes)
{
    if (!bytes.startsWith(kHeader))
        return std::nullopt;
    ParsedJournal out;
    QList<JournalRun> &runs = out.runs;
    auto runById = [&runs](quint64 id) -> JournalRun * {
        for (qsizetype i = runs.size() - 1; i >= 0; --i)
            if (runs[i].id == id)
                return &runs[i];
        return nullptr;
    };
    qsizetype pos = kHeader.size();
    QByteArrayList f;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        end = end < 0 ? bytes.size() : end + 1;
        const QByteArray line = bytes.mid(pos, end - pos);
        pos = end;
        bool ok = false;
        const quint64 id = decode_record(line, &f) && f.size() >= 2 ? f[1].toULongLong(&ok) : 0;
        if (!ok) {
            if (!runs.isEmpty())
                ++runs.last().damaged; // never acted on; counted for the run it most likely belongs to
            continue;
        }
        out.nextId = qMax(out.nextId, id == std::numeric_limits<quint64>::max() ? id : id + 1);
        JournalRun *run = runById(id);
        if (f[0] == "run" && f.size() == 2 && !run) {
            runs.append(JournalRun{id, {}, false, 0});
            ++out.runRecords;
        } else if (f[0] == "step" && run) {
            SortStep s;
            if (f.size() == 9 && (f[2] == "m" || f[2] == "c"))
                s = SortStep{path_from_native(f[3]), path_from_native(f[4]),
                             f[2] == "m" ? SortOp::Move : SortOp::Copy,
                             FileIdentity{f[5].toULongLong(), f[6].toULongLong(), f[7].toLongLong(),
                                          f[8].toLongLong()}};
            if (usable_step_path(s.from) && usable_step_path(s.to))
                run->steps.append(s);
            else
                ++run->damaged;
        } else if (f[0] == "end" && f.size() == 2 && run) {
            run->closed = true;
        } else if (f[0] == "undone" && f.size() == 2 && run) {
            runs.removeAt(run - runs.data());
        }
        // Anything else is a record of a later version or of a run already gone: passed over.
    }
    runs.removeIf([](const JournalRun &r) { return r.steps.isEmpty() && r.damaged == 0; });
    while (runs.size() > kMaxRuns)
        runs.removeFirst();
    return out;
}

void SortJournal::load()
{
    flush();
    runs_.clear();
    setAside_.clear();
    inRun_ = false;
    runsInFile_ = 0;
    size_ = 0;
    if (file_.isEmpty())
        return;
    QByteArray bytes;
    {
        const int fd = ::open(native_path(file_).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return; // no journal yet
        struct stat st {
        };
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            char buf[1 << 16];
            for (;;) {
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break;
                bytes.append(buf, n);
            }
        }
        ::close(fd);
    }
    if (bytes.isEmpty())
        return;
    std::optional<ParsedJournal> parsed = parse(bytes);
    if (!parsed) {
        setAside();
        return;
    }
    size_ = bytes.size();
    runs_ = std::move(parsed->runs);
    runsInFile_ = parsed->runRecords;
    nextId_ = qMax(nextId_, parsed->nextId);
    if (size_ > kMaxBytes || runsInFile_ > 2 * kMaxRuns)
        compact();
}

bool SortJournal::openForAppend()
{
    if (fd_ >= 0)
        return true;
    if (file_.isEmpty())
        return false;
    const QByteArray path = native_path(file_);
    fd_ = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0)
        return false;
    struct stat st {
    };
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = st.st_size;
    if (size_ == 0) {
        write_all(fd_, kHeader);
        size_ = kHeader.size();
    }
    syncer_ = std::make_shared<Syncer>(fd_);
    return true;
}

void SortJournal::append(const QByteArrayList &fields, bool sync)
{
    // A journal that cannot be written still undoes this session's runs.
    if (!openForAppend())
        return;
    const QByteArray record = encode_record(fields);
    if (write_all(fd_, record))
        size_ += record.size();
    if (sync || ++unsynced_ >= kSyncBatch) {
        unsynced_ = 0;
        syncer_->request();
    }
}

// Rewrites the file with the runs kept in memory, newest first until the size limit; the
// newest run always stays. Rewritten through the one atomic write.
void SortJournal::compact()
{
    if (file_.isEmpty())
        return;
    flush();
    QList<QByteArray> blocks;
    qint64 total = kHeader.size();
    qsizetype keepFrom = runs_.size();
    for (qsizetype i = runs_.size() - 1; i >= 0; --i) {
        const JournalRun &run = runs_[i];
        QByteArray block = encode_record({"run", QByteArray::number(run.id)});
        for (const SortStep &s : run.steps)
            block += encode_record(step_fields(run.id, s));
        if (run.closed)
            block += encode_record({"end", QByteArray::number(run.id)});
        if (i != runs_.size() - 1 && total + block.size() > kMaxBytes)
            break;
        total += block.size();
        blocks.prepend(block);
        keepFrom = i;
    }
    QByteArray all = kHeader;
    for (const QByteArray &b : blocks)
        all += b;
    if (!write_file_atomic(native_path(file_), all, nullptr, 0600))
        return;
    runs_ = runs_.mid(keepFrom);
    runsInFile_ = int(runs_.size());
    if (fd_ >= 0) {
        flush();
        ::close(fd_);
        fd_ = -1;
        syncer_.reset();
    }
    size_ = all.size();
}

void SortJournal::begin_run()
{
    if (inRun_)
        end_run();
    inRun_ = true;
    const quint64 id = nextId_++;
    runs_.append(JournalRun{id, {}, false, 0});
    ++runsInFile_;
    append({"run", QByteArray::number(id)}, false);
}

void SortJournal::add_step(SortStep step)
{
    if (!inRun_)
        begin_run();
    if (!step.identity.isKnown())
        step.identity = identity_of_path(step.to);
    JournalRun &run = runs_.last();
    run.steps.append(step);
    append(step_fields(run.id, step), false);
}

void SortJournal::end_run()
{
    if (!inRun_)
        return;
    inRun_ = false;
    JournalRun &run = runs_.last();
    run.closed = true;
    append({"end", QByteArray::number(run.id)}, true);
    if (run.steps.isEmpty())
        runs_.removeLast();
    while (runs_.size() > kMaxRuns)
        runs_.removeFirst();
    if (size_ > kMaxBytes || runsInFile_ > 2 * kMaxRuns)
        compact();
}

void SortJournal::record(const SortRun &run)
{
    if (run.isEmpty())
        return;
    begin_run();
    for (const SortStep &s : run)
        add_step(s);
    end_run();
}

UndoResult SortJournal::undo_last(FileOps &ops, int language, JobToken *token)
{
    UndoResult result;
    if (inRun_)
        end_run();
    if (runs_.isEmpty())
        return result;
    const JournalRun run = runs_.takeLast();
    result.unfinishedRun = !run.closed;
    const QString separator = QStringLiteral(": ");
    for (int i = 0; i < run.damaged; ++i)
        result.failures << QStringLiteral("?") + separator + Texts::msg(Msg::JournalRecordDamaged, language);
    FileOpProgress progress;
    if (token)
        progress = [token](qint64, qint64) { return !token->cancelled(); };
    const qsizetype count = run.steps.size();
    qsizetype i = count - 1;
    for (; i >= 0; --i) {
        if (token && !token->checkpoint())
            break;
        const SortStep &s = run.steps[i];
        if (token)
            token->progress(count - 1 - i, count, nameOf(s.to));
        const FileIdentity now = identity_of_path(s.to);
        if (!now.isKnown()) {
            result.failures << nameOf(s.to) + separator + qt_error_string(ENOENT);
            continue;
        }
        // Only the very file the run left: not one edited since, nor another under its name.
        if (now != s.identity) {
            result.failures << nameOf(s.to) + separator + Texts::msg(Msg::UndoTargetChanged, language);
            continue;
        }
        FileOpResult r;
        if (s.op == SortOp::Copy) {
            // The copy goes only while the original it was made from is still there.
            if (!identity_of_path(s.from).isKnown()) {
                result.failures << nameOf(s.to) + separator + Texts::msg(Msg::UndoOriginalGone, language);
                continue;
            }
            r = ops.delete_to_trash(s.to, progress);
        } else {
            // Back under the old name when it is free; otherwise (or across file systems)
            // into the old folder under a free name.
            r = FileOps::rename_no_replace(s.to, s.from);
            if (!r.ok)
                r = FileOps::move_into_folder(s.to, folderOf(s.from), progress);
        }
        if (!r.ok && r.errorCode == ECANCELED && token && token->cancelled())
            break; // stopped inside the step: it was not undone
        if (r.ok)
            ++result.restored;
        else
            result.failures << nameOf(s.to) + separator + r.errorText(language);
    }
    append({"undone", QByteArray::number(run.id)}, true);
    if (i >= 0) {
        // Cancelled: what was not undone can still be undone.
        result.cancelled = true;
        record(run.steps.mid(0, i + 1));
    }
    return result;
}

} // namespace vorn
