// TTreeScanner walks a folder tree depth-first and reports each folder and each file that
// matches one wildcard pattern. A folder's files come before its subfolders; both are sorted
// by full path without regard to case. Hidden and system folders are not entered; hidden
// files in a searched folder are reported. The walk reads directory entries directly and
// asks the file system about an entry only when its type is not known from the entry itself
// (or, for a matching file, for its size when sizes are wanted).
//
// The scanner touches no widget: it may run on any thread; its events are called on the
// thread that runs search(). stop() may be called from any thread.
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace vorn
{

class TTreeScanner
{
  public:
    using Event = std::function<void(TTreeScanner &sender)>;

    TTreeScanner();

    // A folder is about to be searched (recursive) or was found (not recursive).
    Event OnDirectoryFound;
    // A folder and everything below it has been searched.
    Event OnDirectoryDone;
    // A matching file was found: FileFound() is its path, FileSize() its size.
    Event OnFileFound;
    // Called at the start of every folder, before the continue flag is read: the place to let
    // pending work run (an event loop) or to wait while a question is open.
    Event OnIdle;

    // The folder (with a trailing "/") or file the current event reports.
    const QString &FileFound() const { return fileFound_; }
    // Size in bytes of the file OnFileFound reports (0 during folder events, and 0 when sizes
    // are switched off).
    qint64 FileSize() const { return fileSize_; }
    bool SearchInProgress() const { return searching_.load(); }

    // The folder to search; empty means the current directory.
    const QString &InitialDirectory() const { return initialDirectory_; }
    void setInitialDirectory(const QString &dir) { initialDirectory_ = dir; }
    // One wildcard pattern, matched without regard to case with the exact matcher. A text
    // holding ";" or "," is taken as a list of patterns parsed as the file lists parse them.
    const QString &FileMask() const { return fileMask_; }
    void setFileMask(const QString &mask) { fileMask_ = mask; }
    // Descend into subfolders (default); otherwise subfolders are only reported.
    bool Recursive() const { return recursive_; }
    void setRecursive(bool on) { recursive_ = on; }
    // Whether FileSize is filled in (one stat per matching file). On by default.
    bool reportSizes() const { return reportSizes_; }
    void setReportSizes(bool on) { reportSizes_ = on; }

    // Runs the walk; returns when it is finished or stopped.
    void search();
    // The continue flag: cleared by stop(), the walk ends at the next folder (the current
    // folder's remaining files are still reported); resume() sets it again.
    void stop() { continue_.store(false); }
    void resume() { continue_.store(true); }
    bool continues() const { return continue_.load(); }

  private:
    // An entry kept for sorting; its texts live in the folder's arena.
    struct Item {
        size_t key; // offset of the lower-cased name (+ "/" for folders), the sort key
        size_t keyLen;
        size_t name; // offset of the name as stored
        size_t nameLen;
        qint64 size = 0;
    };
    struct Listing {
        std::vector<Item> files;
        std::vector<Item> dirs;
        std::string arena;
    };

    void prepareMatcher();
    bool matches(const char *name, size_t len, std::string &lowered) const;
    void searchFolder(int fd, const QString &folder);
    void readFolder(int fd, Listing &out);
    void fire(const Event &e)
    {
        if (e)
            e(*this);
    }

    QString fileFound_;
    qint64 fileSize_ = 0;
    std::atomic<bool> searching_{false};
    std::atomic<bool> continue_{false};
    QString initialDirectory_;
    QString fileMask_;
    bool recursive_ = true;
    bool reportSizes_ = true;

    QStringList patterns_;                   // lower-cased
    std::vector<std::string> asciiPatterns_; // same, when every pattern is ASCII
    bool asciiFast_ = false;
    std::vector<char> buffer_;
};

// True when the folder open as fd carries the hidden or system flag (user.DOSATTRIB).
bool folder_flagged_hidden(int fd);

} // namespace vorn
