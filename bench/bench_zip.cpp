// ZIP work side by side with the tools a user would pick instead, on the same archives in one
// run: listing and extracting 20,000 small entries (unzip, 7z), extracting large entries
// (unzip, 7z) and creating a level-9 archive of many files (zip -9, also compared by size).
// Each figure is the best of a few runs that alternate with the peer's; the ratio is ours /
// theirs. The load average is printed before and after: on a busy machine the figures read so.
// VORN_BENCH_ZIP_MB (default 50) sets the size of the large data sets; the argument "list"
// runs only the listing row (for profiling the directory reading), "create" only the rows of
// creating an archive.
#include "archives/zip_archive.h"

#include "bench_util.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <numeric>

using namespace vorn;
using namespace vorn::bench;

namespace
{

bool haveTool(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

// Text-like bytes (words from a small vocabulary): they compress about three to four times.
QByteArray textLike(QRandomGenerator &rng, qsizetype size)
{
    static const char *words[] = {"picture", "folder", "archive", "the",       "and",
                                  "holiday", "2024",   "camera",  "sorting",   "catalog",
                                  "index",   "of",     "a",       "thumbnail", "zip",
                                  "entry",   "<td>",   "</tr>",   "\n",        "width=\"160\""};
    QByteArray b;
    b.reserve(size + 16);
    while (b.size() < size) {
        b += words[rng.bounded(20)];
        b += (rng.bounded(7) == 0) ? QByteArray::number(rng.bounded(100000)) : QByteArray(" ");
    }
    b.resize(size);
    return b;
}

void makeTree(const QString &root, int count, qsizetype minSize, qsizetype maxSize, int perFolder)
{
    QRandomGenerator rng(7);
    for (int i = 0; i < count; ++i) {
        const QString folder = root + QStringLiteral("/d%1").arg(i / perFolder, 3, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        QFile f(folder + QStringLiteral("/file%1.txt").arg(i, 6, 10, QLatin1Char('0')));
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(f.fileName()));
        f.write(textLike(rng, minSize + qsizetype(rng.bounded(quint32(maxSize - minSize + 1)))));
    }
}

// One task: our best time and each peer's best time, taken in alternating runs.
struct Row {
    QString task;
    double goal;
    double ours = 1e9;
    QList<std::pair<const char *, double>> peers;

    void report() const
    {
        for (const auto &[peer, t] : peers) {
            std::printf("%-44s %9.3f %9.3f  %-8s %6.2f  (goal <= %.2f)\n", qPrintable(task), ours, t, peer,
                        ours / t, goal);
            reportRow(
                qPrintable(QStringLiteral("ZIP: ") + task + QStringLiteral(" vs ") + QLatin1String(peer)),
                ratioText(ours / t, peer), QStringLiteral("<= %1 x").arg(goal, 0, 'f', 2), ours / t <= goal);
        }
    }
};

std::vector<size_t> allOf(const ZipArchive &zip)
{
    std::vector<size_t> all(zip.entries().size());
    std::iota(all.begin(), all.end(), size_t(0));
    return all;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int mb = qEnvironmentVariableIntValue("VORN_BENCH_ZIP_MB") > 0
                       ? qEnvironmentVariableIntValue("VORN_BENCH_ZIP_MB")
                       : 50;
    if (!haveTool("unzip") || !haveTool("zip") || !haveTool("7z"))
        qFatal("needs zip, unzip and 7z (scripts/install-deps.sh)");
    printLoad("before");
    QTemporaryDir tmp;
    const QString root = tmp.path();
    const bool listOnly = argc > 1 && qstrcmp(argv[1], "list") == 0;
    const bool createOnly = argc > 1 && qstrcmp(argv[1], "create") == 0;
    const int runs = listOnly ? 10 : 3;
    std::printf("preparing 20,000 small files and %d MB of large and of many files ...\n", mb);
    std::fflush(stdout);

    if (!createOnly) {
        makeTree(root + "/small", 20000, 100, 3000, 1000);
        runTool("zip", {"-q", "-r", root + "/small.zip", "."}, root + "/small");
    }
    if (!listOnly && !createOnly) {
        makeTree(root + "/large", 10, qsizetype(mb) * 100 * 1024, qsizetype(mb) * 100 * 1024, 10);
        runTool("zip", {"-q", "-r", root + "/large.zip", "."}, root + "/large");
    }
    if (!listOnly)
        makeTree(root + "/many", mb * 4, 200 * 1024, 300 * 1024, 100); // about mb MB in ~250 KB files

    std::printf("\n%-44s %9s %9s  %-8s %6s\n", "task", "vorn [s]", "tool [s]", "tool", "ratio");

    Row list{QStringLiteral("list 20,000 entries"), 1.2, 1e9, {{"unzip", 1e9}, {"7z", 1e9}}};
    for (int r = 0; r < runs && !createOnly; ++r) {
        list.ours = std::min(list.ours, timeIt([&] {
                                 ZipArchive zip;
                                 if (!zip.open(root + "/small.zip") || zip.entries().size() < 20000)
                                     qFatal("listing failed");
                             }));
        list.peers[0].second = std::min(list.peers[0].second, timeIt([&] {
                                            runTool("unzip", {"-l", root + "/small.zip"});
                                        }));
        list.peers[1].second = std::min(list.peers[1].second, timeIt([&] {
                                            runTool("7z", {"l", root + "/small.zip"});
                                        }));
    }
    if (!createOnly)
        list.report();
    if (listOnly) {
        printLoad("after");
        return 0;
    }

    const auto extractRow = [&](const QString &task, const QString &archive, double goal, int tries) {
        Row row{task, goal, 1e9, {{"unzip", 1e9}, {"7z", 1e9}}};
        const QString out = root + "/out";
        for (int r = 0; r < tries; ++r) {
            freshFolder(out);
            row.ours = std::min(row.ours, timeIt([&] {
                                    ZipArchive zip;
                                    if (!zip.open(archive) || !zip.extractAt(allOf(zip), out, {}).ok)
                                        qFatal("extraction failed");
                                }));
            freshFolder(out);
            row.peers[0].second = std::min(row.peers[0].second, timeIt([&] {
                                               runTool("unzip", {"-q", "-o", archive, "-d", out});
                                           }));
            freshFolder(out);
            row.peers[1].second = std::min(row.peers[1].second, timeIt([&] {
                                               runTool("7z", {"x", "-y", "-o" + out, archive});
                                           }));
        }
        QDir(out).removeRecursively();
        row.report();
    };
    if (!createOnly) {
        extractRow(QStringLiteral("extract 20,000 entries"), root + "/small.zip", 1.1, 2);
        extractRow(QStringLiteral("extract %1 MB in 10 large entries").arg(mb), root + "/large.zip", 1.2,
                   runs);
    }

    // short runs, alternated often: a busy machine's load changes by the second
    Row create{QStringLiteral("create level 9 from %1 files").arg(mb * 4), 0.55, 1e9, {{"zip -9", 1e9}}};
    for (int r = 0; r < 4; ++r) {
        QFile::remove(root + "/ours.zip");
        create.ours =
            std::min(create.ours, timeIt([&] {
                         if (!ZipArchive::add(root + "/ours.zip", {root + "/many"}, {true, true, 9, root}).ok)
                             qFatal("creating failed");
                     }));
        QFile::remove(root + "/theirs.zip");
        create.peers[0].second =
            std::min(create.peers[0].second, timeIt([&] {
                         runTool("zip", {"-q", "-9", "-r", root + "/theirs.zip", "many"}, root);
                     }));
    }
    create.report();
    runTool("unzip", {"-tq", root + "/ours.zip"});
    const double sizeRatio =
        double(QFileInfo(root + "/ours.zip").size()) / double(QFileInfo(root + "/theirs.zip").size());
    std::printf("  (archive sizes: ours %lld bytes, zip -9 %lld bytes; unzip -t accepts ours)\n",
                QFileInfo(root + "/ours.zip").size(), QFileInfo(root + "/theirs.zip").size());
    reportRow("ZIP: level-9 archive size vs zip -9", ratioText(sizeRatio, "zip -9"),
              QStringLiteral("<= 1.01 x"), sizeRatio <= 1.01);
    printLoad("after");
    return 0;
}
