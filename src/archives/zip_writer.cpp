#include "archives/zip_writer.h"

#include "archives/zip_bytes.h"
#include "base/temp_files.h"
#include "files/file_helpers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <libdeflate.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn
{

namespace
{

using namespace zipbytes;

QString storedName(const QString &path, const ZipAddOptions &options)
{
    if (!options.storeFolders)
        return QFileInfo(path).fileName();
    QString base = options.baseDir;
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    QString rel = (!base.isEmpty() && path.startsWith(base)) ? path.mid(base.size()) : path;
    while (rel.startsWith(QLatin1Char('/')))
        rel.remove(0, 1);
    return rel;
}

// One entry, compressed in memory on a pool thread.
struct Packed {
    bool ok = false;
    QString error;
    QByteArray data;
    quint64 size = 0;
    quint32 crc = 0;
    quint16 method = 0;
    quint32 mode = 0644;
    QDateTime time;
};

// libdeflate's compressor of this pool thread for the level, kept for the thread's life: one
// costs about a megabyte of tables, too much to set up per entry. Levels 7 to 9 are
// libdeflate's 7, which packs within half a per cent of zip -9 in under a third of its
// processor time; libdeflate's 8 and 9 save under 2 % more for three and four times that,
// which a busy machine (whose other work leaves this program about one core's share) would
// not give back through the second core.
libdeflate_compressor *compressorFor(int level)
{
    struct Held {
        int level = -1;
        libdeflate_compressor *c = nullptr;
        ~Held() { libdeflate_free_compressor(c); }
    };
    thread_local Held held;
    const int wanted = std::clamp(level, 1, 7);
    if (held.level != wanted) {
        libdeflate_free_compressor(held.c);
        held.c = libdeflate_alloc_compressor(wanted);
        held.level = held.c ? wanted : -1;
    }
    return held.c;
}

Packed pack(const QString &path, int level)
{
    Packed p;
    QFile f;
    if (!open_native(f, path, QIODevice::ReadOnly)) {
        p.error = qt_error_string(errno);
        return p;
    }
    const QByteArray raw = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        p.error = f.errorString();
        return p;
    }
    struct stat st {
    };
    if (fstat(f.handle(), &st) == 0) {
        p.mode = st.st_mode & 0777;
        p.time = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
    }
    p.size = quint64(raw.size());
    p.crc = libdeflate_crc32(0, raw.constData(), size_t(raw.size()));
    libdeflate_compressor *c = level > 0 ? compressorFor(level) : nullptr;
    if (level > 0 && !c) {
        p.error = QStringLiteral("libdeflate");
        return p;
    }
    // Only output smaller than the input counts: 0 means it did not get smaller.
    size_t out = 0;
    if (c && raw.size() > 1) {
        p.data.resize(raw.size() - 1);
        out = libdeflate_deflate_compress(c, raw.constData(), size_t(raw.size()), p.data.data(),
                                          size_t(p.data.size()));
    }
    if (out == 0) { // incompressible (or level 0): stored as it is
        p.data = raw;
        p.method = 0;
    } else {
        p.data.resize(qsizetype(out));
        p.method = 8;
    }
    p.ok = true;
    return p;
}

std::pair<quint16, quint16> dosTime(const QDateTime &t)
{
    const QDateTime local = t.isValid() ? t.toLocalTime() : QDateTime::currentDateTime();
    const QDate d = local.date();
    const QTime c = local.time();
    if (d.year() < 1980)
        return {0, (0 << 9) | (1 << 5) | 1};
    return {quint16((c.hour() << 11) | (c.minute() << 5) | (c.second() / 2)),
            quint16(((d.year() - 1980) << 9) | (d.month() << 5) | d.day())};
}

struct Written {
    QByteArray name;
    quint64 offset, packed, size;
    quint32 crc, mode;
    quint16 method, time, date;
};

constexpr quint32 k32 = 0xffffffffu;

// Bit 11: the name is UTF-8 (set only when it is not plain ASCII). A name of a file whose
// bytes are no UTF-8 is stored as those bytes, without the bit.
quint16 nameFlags(const Written &w)
{
    for (const char c : w.name)
        if (uchar(c) >= 0x80)
            return QUtf8StringView(w.name).isValidUtf8() ? 0x800 : 0;
    return 0;
}

bool needs64(const Written &w)
{
    return w.size >= k32 || w.packed >= k32 || w.offset >= k32;
}

QByteArray localHeader(const Written &w)
{
    const bool z64 = w.size >= k32 || w.packed >= k32;
    QByteArray r;
    put32(r, 0x04034b50);
    put16(r, z64 ? 45 : 20);
    put16(r, nameFlags(w));
    put16(r, w.method);
    put16(r, w.time);
    put16(r, w.date);
    put32(r, w.crc);
    put32(r, z64 ? k32 : quint32(w.packed));
    put32(r, z64 ? k32 : quint32(w.size));
    put16(r, quint32(w.name.size()));
    put16(r, z64 ? 20 : 0);
    r += w.name;
    if (z64) {
        put16(r, 1);
        put16(r, 16);
        put64(r, w.size);
        put64(r, w.packed);
    }
    return r;
}

QByteArray centralRecord(const Written &w)
{
    QByteArray extra;
    if (needs64(w)) {
        QByteArray body;
        if (w.size >= k32)
            put64(body, w.size);
        if (w.packed >= k32)
            put64(body, w.packed);
        if (w.offset >= k32)
            put64(body, w.offset);
        put16(extra, 1);
        put16(extra, quint32(body.size()));
        extra += body;
    }
    QByteArray r;
    put32(r, 0x02014b50);
    put16(r, (3 << 8) | 45);
    put16(r, needs64(w) ? 45 : 20);
    put16(r, nameFlags(w));
    put16(r, w.method);
    put16(r, w.time);
    put16(r, w.date);
    put32(r, w.crc);
    put32(r, w.packed >= k32 ? k32 : quint32(w.packed));
    put32(r, w.size >= k32 ? k32 : quint32(w.size));
    put16(r, quint32(w.name.size()));
    put16(r, quint32(extra.size()));
    put16(r, 0);
    put16(r, 0);
    put16(r, 0);
    put32(r, (S_IFREG | w.mode) << 16);
    put32(r, w.offset >= k32 ? k32 : quint32(w.offset));
    r += w.name;
    r += extra;
    return r;
}

QByteArray endRecords(quint64 count, quint64 dirOffset, quint64 dirSize)
{
    QByteArray r;
    const bool z64 = count >= 0xffff || dirOffset >= k32 || dirSize >= k32;
    if (z64) {
        const quint64 at = dirOffset + dirSize;
        put32(r, 0x06064b50);
        put64(r, 44);
        put16(r, (3 << 8) | 45);
        put16(r, 45);
        put32(r, 0);
        put32(r, 0);
        put64(r, count);
        put64(r, count);
        put64(r, dirSize);
        put64(r, dirOffset);
        put32(r, 0x07064b50);
        put32(r, 0);
        put64(r, at);
        put32(r, 1);
    }
    put32(r, 0x06054b50);
    put16(r, 0);
    put16(r, 0);
    put16(r, z64 ? 0xffff : quint32(count));
    put16(r, z64 ? 0xffff : quint32(count));
    put32(r, z64 ? k32 : quint32(dirSize));
    put32(r, z64 ? k32 : quint32(dirOffset));
    put16(r, 0);
    return r;
}

// The files of a folder (links to files too; links to folders are not followed), with its
// subfolders when recurse. Names keep the file system's bytes.
void files_below(const QString &folder, bool recurse, QStringList *out)
{
    const QString dir = with_trailing_slash(folder);
    for (const QString &name : folder_entries(folder, false)) {
        const QString path = dir + name;
        struct stat st {
        };
        if (lstat(native_path(path).constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (recurse)
                files_below(path, recurse, out);
        } else if (S_ISREG(st.st_mode) || (S_ISLNK(st.st_mode) && !path_info(path).isDir)) {
            *out << path;
        }
    }
}

} // namespace

QList<ZipWriteItem> zip_items_for(const QStringList &paths, const ZipAddOptions &options,
                                  const QString &skipPath)
{
    const QString skip = skipPath.isEmpty() ? QString() : QFileInfo(skipPath).absoluteFilePath();
    QList<ZipWriteItem> items;
    for (const QString &path : paths) {
        QStringList found;
        if (path_info(path).isDir) {
            files_below(path, options.recurse, &found);
            found.sort(); // a stable order, independent of the file system
        } else {
            found << path;
        }
        for (const QString &f : std::as_const(found))
            if (skip.isEmpty() || QFileInfo(f).absoluteFilePath() != skip)
                items.append({f, storedName(f, options)});
    }
    return items;
}

ZipResult write_new_zip(const QString &archivePath, const QList<ZipWriteItem> &items, int level,
                        const ZipProgress &progress)
{
    ZipResult result;
    auto fail = [&result](ZipIssue issue, const QString &entry, const QString &detail) {
        result.ok = false;
        result.done = 0;
        result.problems.append({issue, entry, detail});
        return result;
    };
    const QFileInfo target(archivePath);
    const QByteArray folder = native_path(target.absolutePath());
    const QByteArray finalName = native_path(target.fileName());
    const int dfd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        return fail(ZipIssue::ArchiveWrite, archivePath, QString::fromLocal8Bit(strerror(errno)));
    // Unnamed while written, so a crash leaves nothing beside the user's files.
    TempFile temp = open_temp_file(dfd, 0644);
    if (temp.fd < 0) {
        const int err = errno;
        ::close(dfd);
        return fail(ZipIssue::ArchiveWrite, archivePath, QString::fromLocal8Bit(strerror(err)));
    }
    if (!temp.name.isEmpty()) // no unnamed files here: clear what crashed runs left
        remove_stale_temp_files(target.absolutePath());
    const int fd = temp.fd;
    FILE *out = fdopen(fd, "wb");
    setvbuf(out, nullptr, _IOFBF, 1 << 20);

    // Compress ahead on the pool, at most a few entries in flight, write in order.
    QThreadPool *pool = QThreadPool::globalInstance();
    const int window = std::max(2, pool->maxThreadCount() * 2);
    std::deque<QFuture<Packed>> inFlight;
    qsizetype next = 0;
    auto refill = [&] {
        while (next < items.size() && qsizetype(inFlight.size()) < window) {
            const QString path = items[next++].path;
            inFlight.push_back(QtConcurrent::run(pool, [path, level] { return pack(path, level); }));
        }
    };
    QList<Written> written;
    quint64 offset = 0;
    bool writeFailed = false;
    bool cancelled = false;
    QString failedEntry;
    refill();
    for (qsizetype i = 0; i < items.size(); ++i) {
        Packed p = inFlight.front().result();
        inFlight.pop_front();
        refill();
        if (!p.ok) {
            result.problems.append({ZipIssue::SourceUnreadable, items[i].path, p.error});
            continue;
        }
        Written w{native_path(items[i].name),
                  offset,
                  quint64(p.data.size()),
                  p.size,
                  p.crc,
                  p.mode,
                  p.method,
                  0,
                  0};
        std::tie(w.time, w.date) = dosTime(p.time);
        const QByteArray head = localHeader(w);
        if (fwrite(head.constData(), 1, size_t(head.size()), out) != size_t(head.size()) ||
            fwrite(p.data.constData(), 1, size_t(p.data.size()), out) != size_t(p.data.size())) {
            writeFailed = true;
            failedEntry = QString::fromLocal8Bit(strerror(errno));
            break;
        }
        offset += quint64(head.size()) + quint64(p.data.size());
        written << w;
        if (progress && !progress(i + 1, items.size())) {
            cancelled = true;
            break;
        }
    }
    for (auto &f : inFlight) // let the pool finish what it started before the items go away
        f.waitForFinished();
    if (!writeFailed && !cancelled) {
        QByteArray dir;
        for (const Written &w : std::as_const(written))
            dir += centralRecord(w);
        dir += endRecords(quint64(written.size()), offset, quint64(dir.size()));
        if (fwrite(dir.constData(), 1, size_t(dir.size()), out) != size_t(dir.size()) || fflush(out) != 0 ||
            fsync(fd) != 0) {
            writeFailed = true;
            failedEntry = QString::fromLocal8Bit(strerror(errno));
        }
    }
    if (fflush(out) != 0 && !writeFailed && !cancelled) {
        writeFailed = true;
        failedEntry = QString::fromLocal8Bit(strerror(errno));
    }
    if (!writeFailed && !cancelled) {
        const int err = publish_temp_file(temp, dfd, finalName);
        if (err != 0) {
            writeFailed = true;
            failedEntry = QString::fromLocal8Bit(strerror(err));
        }
    }
    fclose(out); // closes temp.fd
    temp.fd = -1;
    discard_temp_file(temp, dfd);
    ::close(dfd);
    if (cancelled)
        return fail(ZipIssue::Cancelled, {}, {});
    if (writeFailed)
        return fail(ZipIssue::ArchiveWrite, archivePath, failedEntry);
    result.done = int(written.size());
    return result;
}

} // namespace vorn
