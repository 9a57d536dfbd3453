// ZIP work side by side with the tools a user would pick instead, on the same archives in one
// run: listing and extracting 20,000 small entries (unzip, 7z), extracting large entries
// (7z x, unzip) and creating a level-9 archive of many files (zip -9). Each figure is the best
// of a few alternating runs; the ratio is ours / theirs.
// VORN_BENCH_ZIP_MB (default 500) sets the size of the large data sets; the argument "list"
// runs only the listing row (for profiling the directory reading).
#include "archives/zip_archive.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace vorn;

namespace
{

double timeIt(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

void runTool(const QString &program, const QStringList &args, const QString &dir = {})
{
    QProcess p;
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
}

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

struct Row {
    const char *task;
    double ours = 1e9;
    QList<std::pair<QString, double>> tools;
    double goal;
};

void print(const Row &row)
{
    for (const auto &[tool, t] : row.tools)
        std::printf("%-44s %9.3f %9.3f  %-8s %6.2f  (goal <= %.2f)\n", row.task, row.ours, t,
                    qPrintable(tool), row.ours / t, row.goal);
}

QStringList allKeys(const ZipArchive &zip)
{
    QStringList keys;
    for (const ZipEntry &e : zip.entries())
        keys << e.key;
    return keys;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int mb = qEnvironmentVariableIntValue("VORN_BENCH_ZIP_MB") > 0
                       ? qEnvironmentVariableIntValue("VORN_BENCH_ZIP_MB")
                       : 500;
    if (!haveTool("unzip") || !haveTool("zip") || !haveTool("7z"))
        qFatal("needs zip, unzip and 7z (scripts/install-deps.sh)");
    QTemporaryDir tmp;
    const QString root = tmp.path();
    const bool listOnly = argc > 1 && qstrcmp(argv[1], "list") == 0;
    const int runs = listOnly ? 10 : 3;
    std::printf("preparing 20,000 small files and %d MB of large and of many files in %s ...\n", mb,
                qPrintable(root));

    makeTree(root + "/small", 20000, 100, 3000, 1000);
    runTool("zip", {"-q", "-r", root + "/small.zip", "."}, root + "/small");
    if (!listOnly) {
        makeTree(root + "/large", 10, qsizetype(mb) * 100 * 1024, qsizetype(mb) * 100 * 1024, 10);
        runTool("zip", {"-q", "-r", root + "/large.zip", "."}, root + "/large");
        makeTree(root + "/many", mb * 4, 200 * 1024, 300 * 1024, 100); // about mb MB in ~250 KB files
    }

    std::printf("\n%-44s %9s %9s  %-8s %6s\n", "task", "vorn [s]", "tool [s]", "tool", "ratio");

    Row list{"list 20,000 entries", 1e9, {{"unzip", 1e9}, {"7z", 1e9}}, 1.2};
    for (int r = 0; r < runs; ++r) {
        list.ours = std::min(list.ours, timeIt([&] {
                                 ZipArchive zip;
                                 if (!zip.open(root + "/small.zip") || zip.entries().size() < 20000)
                                     qFatal("listing failed");
                             }));
        list.tools[0].second = std::min(list.tools[0].second, timeIt([&] {
                                            runTool("unzip", {"-l", root + "/small.zip"});
                                        }));
        list.tools[1].second = std::min(list.tools[1].second, timeIt([&] {
                                            runTool("7z", {"l", root + "/small.zip"});
                                        }));
    }
    print(list);
    if (listOnly)
        return 0;

    const auto extractRow = [&](const char *task, const QString &archive, double goal) {
        Row row{task, 1e9, {{"unzip", 1e9}, {"7z", 1e9}}, goal};
        const QString out = root + "/out";
        for (int r = 0; r < runs; ++r) {
            QDir(out).removeRecursively();
            row.ours = std::min(row.ours, timeIt([&] {
                                    ZipArchive zip;
                                    if (!zip.open(archive) || !zip.extract(allKeys(zip), out, {}).ok)
                                        qFatal("extraction failed");
                                }));
            QDir(out).removeRecursively();
            row.tools[0].second = std::min(row.tools[0].second, timeIt([&] {
                                               runTool("unzip", {"-q", "-o", archive, "-d", out});
                                           }));
            QDir(out).removeRecursively();
            row.tools[1].second = std::min(row.tools[1].second, timeIt([&] {
                                               runTool("7z", {"x", "-y", "-o" + out, archive});
                                           }));
        }
        QDir(out).removeRecursively();
        print(row);
    };
    extractRow("extract 20,000 entries", root + "/small.zip", 1.1);
    extractRow(qPrintable(QStringLiteral("extract %1 MB in 10 large entries").arg(mb)), root + "/large.zip",
               1.2);

    Row create{"create level 9 from many files", 1e9, {{"zip -9", 1e9}}, 0.55};
    for (int r = 0; r < 2; ++r) {
        QFile::remove(root + "/ours.zip");
        create.ours =
            std::min(create.ours, timeIt([&] {
                         if (!ZipArchive::add(root + "/ours.zip", {root + "/many"}, {true, true, 9, root}).ok)
                             qFatal("creating failed");
                     }));
        QFile::remove(root + "/theirs.zip");
        create.tools[0].second =
            std::min(create.tools[0].second, timeIt([&] {
                         runTool("zip", {"-q", "-9", "-r", root + "/theirs.zip", "many"}, root);
                     }));
    }
    runTool("unzip", {"-tq", root + "/ours.zip"});
    std::printf("  (archive sizes: ours %lld bytes, zip -9 %lld bytes; unzip -t accepts ours)\n",
                QFileInfo(root + "/ours.zip").size(), QFileInfo(root + "/theirs.zip").size());
    print(create);
    return 0;
}
