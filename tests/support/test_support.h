// Helpers shared by the tests: a sandbox program folder and the real main window in it.
#pragma once

#include "app/main_window.h"
#include "files/file_ops.h"
#include "support/scripted_prompter.h"

#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace vorn::test
{

// Writes bytes to a file, creating its folder.
void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);
// Files under names that need not be UTF-8 (the file system's bytes): written, read, the names
// of a folder (sorted), and a folder emptied by them (its subfolders too), which the temporary
// folder's own clean-up cannot do.
void writeRaw(const QByteArray &path, const QByteArray &bytes);
QByteArray readRaw(const QByteArray &path);
QByteArrayList rawNames(const QString &dir);
void removeRaw(const QString &dir);
// Deterministic bytes that do not compress.
QByteArray noise(qsizetype size, int seed);

// A temporary folder on another file system than `near` (tmpfs at /dev/shm), or none.
std::unique_ptr<QTemporaryDir> otherFileSystem(const QTemporaryDir &near);

// For a helper mode of a test executable: prints the line, then waits to be killed.
[[noreturn]] void signalAndHang(const char *line);
// Starts this test executable with `args` (a helper mode), waits for the line its helper prints
// through signalAndHang, and kills it (SIGKILL) right there.
void runHelperAndKill(const QStringList &args, const QByteArray &line);

// Holds the file operations at one stage (the first time it is reached) until opened: a run
// slowed on purpose, so that a test acts while it is in progress, without any timing. One at
// a time; it installs the file operations' test hook for its lifetime.
class FileOpGate
{
  public:
    explicit FileOpGate(FileOpStage stage);
    ~FileOpGate();
    FileOpGate(const FileOpGate &) = delete;
    FileOpGate &operator=(const FileOpGate &) = delete;
    bool reached();
    void open();

  private:
    static void hook(FileOpStage stage, const QString &source);
    static inline std::atomic<FileOpGate *> current_{nullptr};
    FileOpStage stage_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool reached_ = false;
    bool opened_ = false;
};

// Counts the paint events of the widgets it is installed on.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// A main window in its own temporary program folder, answering dialogs from a script.
struct WindowFixture {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<MainWindow> window;

    // Creates (and, with `show`, shows) the window; files put into dir before are read.
    MainWindow &start(bool show = true);
    QString path(const QString &name) const { return dir.filePath(name); }
    template <class T> T *find(const QString &name) const
    {
        return window ? window->findChild<T *>(name) : nullptr;
    }
    // Closes with a confirmed close question; the window is then gone.
    void closeConfirmed();
};

} // namespace vorn::test
