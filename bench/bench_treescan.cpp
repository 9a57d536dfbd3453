// Tree search speed: the tree scanner against GNU find and against a bare readdir walk over a
// generated tree of 100,000 files in 2,000 folders (depth up to 6, some hidden folders and
// files). The tree is kept under the temporary folder and reused by later runs.
#include "files/tree_scanner.h"

#include "bench_util.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <strings.h>
#include <unistd.h>

using namespace vorn;

namespace
{

constexpr int kFolders = 2000;
constexpr int kFiles = 100000;
constexpr int kMaxDepth = 6;
constexpr int kRuns = 9;

void makeTree(const QString &root)
{
    if (QFile::exists(root + "/.complete"))
        return;
    std::printf("generating %d files in %d folders under %s ...\n", kFiles, kFolders, qPrintable(root));
    QDir(root).removeRecursively();
    QRandomGenerator rng(4711);
    struct Folder {
        QString path;
        int depth;
    };
    std::vector<Folder> folders{{root, 0}};
    while (int(folders.size()) < kFolders) {
        const Folder &parent = folders[rng.bounded(int(folders.size()))];
        if (parent.depth >= kMaxDepth)
            continue;
        const bool hidden = rng.bounded(100) < 3;
        const QString name = QStringLiteral("%1Folder %2").arg(hidden ? "." : "").arg(folders.size());
        folders.push_back({parent.path + "/" + name, parent.depth + 1});
        QDir().mkpath(folders.back().path);
    }
    const char *exts[] = {"jpg", "JPG", "gif", "png", "txt", "html", "jpeg", "mp3", "avi", "jpg"};
    for (int i = 0; i < kFiles; ++i) {
        const Folder &f = folders[i % kFolders];
        const bool hidden = rng.bounded(100) < 2;
        const QString path = QStringLiteral("%1/%2Picture_%3.%4")
                                 .arg(f.path, hidden ? "." : "")
                                 .arg(i)
                                 .arg(exts[rng.bounded(10)]);
        const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    QFile marker(root + "/.complete");
    (void)marker.open(QIODevice::WriteOnly);
}

// The least a walk must do: read every folder, skip hidden folders, test each name's ending.
long readdirWalk(int dirfd, const char *suffix, size_t suffixLen)
{
    DIR *d = fdopendir(dirfd);
    if (!d) {
        ::close(dirfd);
        return 0;
    }
    long hits = 0;
    while (const dirent *e = readdir(d)) {
        if (e->d_name[0] == '.' && e->d_type == DT_DIR)
            continue;
        if (e->d_type == DT_DIR) {
            const int sub = openat(dirfd, e->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (sub >= 0)
                hits += readdirWalk(sub, suffix, suffixLen);
        } else {
            const size_t n = std::strlen(e->d_name);
            if (n >= suffixLen && strcasecmp(e->d_name + n - suffixLen, suffix) == 0)
                ++hits;
        }
    }
    closedir(d);
    return hits;
}

// Runs the contenders in turns (so a busy moment of the machine hits all of them alike) and
// keeps each one's best time in milliseconds.
std::vector<double> bestOf(const std::vector<std::function<void()>> &runs)
{
    std::vector<double> best(runs.size(), 1e300);
    for (int i = 0; i < kRuns; ++i)
        for (size_t k = 0; k < runs.size(); ++k) {
            QElapsedTimer t;
            t.start();
            runs[k]();
            best[k] = std::min(best[k], t.nsecsElapsed() / 1e6);
        }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString root = QDir::tempPath() + "/vorn_bench_tree";
    makeTree(root);
    const QByteArray rootBytes = QFile::encodeName(root);

    vorn::bench::printLoad("before");
    std::printf("best of %d alternating warm runs, milliseconds\n", kRuns);
    std::printf("%-8s %12s %14s %12s %10s %10s %10s %12s\n", "mask", "scanner", "scanner+size", "readdir",
                "find", "hits", "vs readdir", "vs find");
    for (const char *ext : {"jpg", "gif"}) {
        const QString mask = QStringLiteral("*.") + ext;
        const QByteArray suffix = QByteArray(".") + ext;
        long scanHits = 0;
        long walkHits = 0;
        auto scan = [&](bool sizes) {
            TTreeScanner ts;
            ts.setInitialDirectory(root);
            ts.setFileMask(mask);
            ts.setReportSizes(sizes);
            long n = 0;
            ts.OnFileFound = [&n](TTreeScanner &) { ++n; };
            ts.search();
            scanHits = n;
        };
        auto walk = [&] {
            walkHits = readdirWalk(::open(rootBytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC),
                                   suffix.constData(), size_t(suffix.size()));
        };
        auto find = [&] {
            QProcess p;
            p.setStandardOutputFile(QProcess::nullDevice());
            p.start("find", {root, "-type", "d", "-name", ".*", "-prune", "-o", "-iname", mask, "-print"});
            p.waitForFinished(-1);
        };
        walk(); // warm the cache
        scan(false);
        find();
        const std::vector<double> t = bestOf({[&] { scan(false); }, [&] { scan(true); }, walk, find});
        const double tScan = t[0], tScanSize = t[1], tWalk = t[2], tFind = t[3];
        std::printf("%-8s %12.1f %14.1f %12.1f %10.1f %10ld %9.2fx %11.2fx\n", qPrintable(mask), tScan,
                    tScanSize, tWalk, tFind, scanHits, tScan / tWalk, tScan / tFind);
        if (scanHits != walkHits)
            std::printf("  note: scanner found %ld, readdir walk %ld\n", scanHits, walkHits);
        const QString name = QStringLiteral("tree scan %1").arg(mask);
        vorn::bench::reportRow(qPrintable(name + QStringLiteral(", against a readdir walk")),
                               vorn::bench::ratioText(tScan / tWalk, "readdir walk"),
                               QStringLiteral("<= 1.20 x"), tScan <= 1.2 * tWalk && scanHits == walkHits);
        vorn::bench::reportRow(qPrintable(name + QStringLiteral(", against find")),
                               vorn::bench::ratioText(tScan / tFind, "find"), QStringLiteral("< 1.00 x"),
                               tScan < tFind);
    }
    vorn::bench::printLoad("after");
    return 0;
}
