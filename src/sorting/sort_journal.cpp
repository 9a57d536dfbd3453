#include "sorting/sort_journal.h"

#include "base/text_file.h"
#include "files/file_ops.h"

#include <QFileInfo>
#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace vorn {

namespace {

const QString kHeader = QStringLiteral("vorn sort journal 1");
const QString kRunLine = QStringLiteral("run");

// Paths may hold any character but NUL; tab, CR, LF and '%' are escaped so that one step is
// one line of three tab-separated fields.
QString escapeField(const QString &s)
{
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        switch (c.unicode()) {
        case '%': out += QStringLiteral("%25"); break;
        case '\t': out += QStringLiteral("%09"); break;
        case '\r': out += QStringLiteral("%0D"); break;
        case '\n': out += QStringLiteral("%0A"); break;
        default: out += c;
        }
    }
    return out;
}

QString unescapeField(QStringView s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('%') && i + 2 < s.size()) {
            bool ok = false;
            const int v = s.mid(i + 1, 2).toInt(&ok, 16);
            if (ok && (v == '%' || v == '\t' || v == '\r' || v == '\n')) {
                out += QChar(v);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

QString nameOf(const QString &path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

} // namespace

// Writes the latest lines posted, one write at a time, on a pool thread.
class SortJournal::Writer : public std::enable_shared_from_this<Writer> {
public:
    explicit Writer(QString file) : file_(std::move(file)) {}

    void post(QStringList lines)
    {
        std::lock_guard lock(m_);
        pending_ = std::move(lines);
        hasPending_ = true;
        if (!active_) {
            active_ = true;
            // The task holds the writer alive; it ends when nothing is pending.
            done_ = QtConcurrent::run([self = shared_from_this()] { self->drain(); });
        }
    }
    void flush()
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
        while (true) {
            QStringList lines;
            {
                std::lock_guard lock(m_);
                if (!hasPending_) {
                    active_ = false;
                    return;
                }
                lines = std::move(pending_);
                hasPending_ = false;
            }
            write_text_lines(file_, lines); // a journal that cannot be written still undoes this session
        }
    }

    const QString file_;
    std::mutex m_;
    QStringList pending_;
    bool hasPending_ = false;
    bool active_ = false;
    QFuture<void> done_;
};

SortJournal::SortJournal(QString file) : file_(std::move(file))
{
    if (!file_.isEmpty())
        writer_ = std::make_shared<Writer>(file_);
}

SortJournal::~SortJournal() { flush(); }

void SortJournal::flush()
{
    if (writer_)
        writer_->flush();
}

QStringList SortJournal::to_lines(const QList<SortRun> &runs)
{
    QStringList lines{kHeader};
    for (const SortRun &run : runs) {
        lines << kRunLine;
        for (const SortStep &s : run)
            lines << QString(s.op == SortOp::Move ? QLatin1Char('m') : QLatin1Char('c')) + QLatin1Char('\t') +
                         escapeField(s.from) + QLatin1Char('\t') + escapeField(s.to);
    }
    return lines;
}

QList<SortRun> SortJournal::from_lines(const QStringList &lines)
{
    QList<SortRun> runs;
    if (lines.isEmpty() || lines.first() != kHeader)
        return runs;
    bool inRun = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString &line = lines[i];
        if (line == kRunLine) {
            if (!runs.isEmpty() && runs.last().isEmpty())
                runs.removeLast();
            runs.append(SortRun());
            inRun = true;
            continue;
        }
        const QList<QStringView> f = QStringView(line).split(QLatin1Char('\t'));
        if (!inRun || f.size() != 3 || (f[0] != QLatin1String("m") && f[0] != QLatin1String("c")))
            continue;
        SortStep s{unescapeField(f[1]), unescapeField(f[2]), f[0] == QLatin1String("m") ? SortOp::Move : SortOp::Copy};
        // Only absolute paths of files, never a folder or a relative name.
        if (!s.from.startsWith(QLatin1Char('/')) || !s.to.startsWith(QLatin1Char('/')) || nameOf(s.from).isEmpty() ||
            nameOf(s.to).isEmpty())
            continue;
        runs.last().append(s);
    }
    if (!runs.isEmpty() && runs.last().isEmpty())
        runs.removeLast();
    while (runs.size() > kMaxRuns)
        runs.removeFirst();
    return runs;
}

void SortJournal::load()
{
    flush();
    runs_.clear();
    QStringList lines;
    if (!file_.isEmpty() && QFileInfo(file_).size() < (64 << 20) && read_text_lines(file_, &lines))
        runs_ = from_lines(lines);
}

void SortJournal::save()
{
    if (writer_)
        writer_->post(to_lines(runs_));
}

void SortJournal::record(const SortRun &run)
{
    if (run.isEmpty())
        return;
    runs_.append(run);
    while (runs_.size() > kMaxRuns)
        runs_.removeFirst();
    save();
}

UndoResult SortJournal::undo_last(FileOps &ops)
{
    UndoResult result;
    if (runs_.isEmpty())
        return result;
    const SortRun run = runs_.takeLast();
    for (qsizetype i = run.size() - 1; i >= 0; --i) {
        const SortStep &s = run[i];
        if (!QFileInfo(s.to).isFile() && !QFileInfo(s.to).isSymLink()) {
            result.failures << nameOf(s.to) + QStringLiteral(": ") +
                                   QString::fromLocal8Bit(strerror(ENOENT));
            continue;
        }
        FileOpResult r;
        if (s.op == SortOp::Copy) {
            r = ops.delete_to_trash(s.to);
        } else {
            // Back under the old name when it is free; otherwise (or across file systems)
            // into the old folder under a free name.
            r = FileOps::rename_no_replace(s.to, s.from);
            if (!r.ok)
                r = FileOps::move_into_folder(s.to, folderOf(s.from));
        }
        if (r.ok)
            ++result.restored;
        else
            result.failures << nameOf(s.to) + QStringLiteral(": ") + r.error;
    }
    save();
    return result;
}

} // namespace vorn
