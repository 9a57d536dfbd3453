#include "support/test_support.h"

#include "files/file_helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::test
{

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
}

void writeRaw(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
}

QByteArray readRaw(const QByteArray &path)
{
    QFile f;
    return open_native(f, path_from_native(path), QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArrayList rawNames(const QString &dir)
{
    QByteArrayList out;
    for (const QString &n : folder_entries(dir, false))
        out << native_path(n);
    std::sort(out.begin(), out.end());
    return out;
}

void removeRaw(const QString &dir)
{
    for (const QString &n : folder_entries(dir, false)) {
        const QString path = with_trailing_slash(dir) + n;
        if (path_info(path).isDir)
            removeRaw(path);
        ::unlink(native_path(path).constData());
        ::rmdir(native_path(path).constData());
    }
}

QByteArray noise(qsizetype size, int seed)
{
    QByteArray b(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 1;
    for (char &c : b) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    return b;
}

FileOpGate::FileOpGate(FileOpStage stage) : stage_(stage)
{
    current_ = this;
    FileOps::set_hook(&FileOpGate::hook);
}

FileOpGate::~FileOpGate()
{
    open();
    FileOps::set_hook(nullptr);
    current_ = nullptr;
}

bool FileOpGate::reached()
{
    std::lock_guard lock(mutex_);
    return reached_;
}

void FileOpGate::open()
{
    {
        std::lock_guard lock(mutex_);
        opened_ = true;
    }
    cv_.notify_all();
}

void FileOpGate::hook(FileOpStage stage, const QString &)
{
    FileOpGate *g = current_;
    if (!g || stage != g->stage_)
        return;
    std::unique_lock lock(g->mutex_);
    g->reached_ = true;
    g->cv_.wait(lock, [g] { return g->opened_; });
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

std::unique_ptr<QTemporaryDir> otherFileSystem(const QTemporaryDir &near)
{
    if (!QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        return {};
    auto other = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/vorn-test-XXXXXX"));
    struct stat a {
    };
    struct stat b {
    };
    if (!other->isValid() || stat(QFile::encodeName(other->path()).constData(), &a) != 0 ||
        stat(QFile::encodeName(near.path()).constData(), &b) != 0 || a.st_dev == b.st_dev)
        return {};
    return other;
}

void signalAndHang(const char *line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    for (;;)
        pause();
}

void runHelperAndKill(const QStringList &args, const QByteArray &line)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), args);
    QVERIFY(child.waitForStarted());
    QVERIFY(child.waitForReadyRead(20000));
    QCOMPARE(child.readLine(), line + '\n');
    child.kill();
    QVERIFY(child.waitForFinished());
}

MainWindow &WindowFixture::start(bool show)
{
    // Deleted files go to a trash inside the sandbox, not the user's.
    QDir().mkpath(dir.filePath(QStringLiteral("xdg-data")));
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("xdg-data")).toUtf8());
    StartOptions o;
    o.programDir = dir.path();
    o.prompter = &prompter;
    o.showSplash = false;
    window = std::make_unique<MainWindow>(o);
    if (show) {
        window->show();
        QCoreApplication::processEvents();
    }
    return *window;
}

void WindowFixture::closeConfirmed()
{
    prompter.pushAnswer(Answer::Yes);
    window->close();
    window.reset();
}

} // namespace vorn::test
