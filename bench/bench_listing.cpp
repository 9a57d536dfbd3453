// Listing a folder of 100,000 files into the file list model, against `ls -1` on the same
// folder (which reads, sorts and prints every name): time to the first screenful and the
// memory the listing adds.
#include "files/file_list_model.h"
#include "files/masks.h"

#include "bench_util.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace vorn;
using vorn::bench::rssKb;
namespace bench = vorn::bench;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString dir = QDir::tempPath() + QStringLiteral("/vorn-bench-listing");
    constexpr int kFiles = 100000;
    if (QDir(dir).entryList(QDir::Files).size() != kFiles) {
        QDir().mkpath(dir);
        std::printf("creating %d files in %s ...\n", kFiles, qPrintable(dir));
        for (int i = 0; i < kFiles; ++i) {
            const QByteArray name = QFile::encodeName(
                dir +
                QStringLiteral("/Photo_%1.%2").arg(i, 6, 10, QLatin1Char('0')).arg(i % 3 ? "jpg" : "gif"));
            const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
            if (fd >= 0)
                ::close(fd);
        }
    }

    const QStringList patterns = parse_patterns(QStringLiteral("*.*"));
    auto accept = [patterns](const QString &n) { return matches_any(n, patterns); };
    bench::printLoad("before");
    // The model's runs alternate with the runs of ls, so a change of load meets both alike.
    double best = 1e9, lsBest = 1e9;
    long addedKb = 0;
    bool rowsRight = true;
    for (int run = 0; run < 5; ++run) {
        {
            FileListModel model;
            const long before = rssKb();
            QElapsedTimer t;
            t.start();
            QEventLoop loop;
            // The first screenful: the moment the model holds the rows a list view asks for
            // first, and has given them out.
            double screenful = -1;
            const auto look = [&] {
                if (screenful >= 0 || model.rowCount() < 40)
                    return;
                for (int r = 0; r < 40; ++r)
                    (void)model.data(model.index(r, 0), Qt::DisplayRole);
                screenful = t.nsecsElapsed() / 1e6;
            };
            QObject::connect(&model, &FileListModel::modelReset, &loop, look);
            QObject::connect(&model, &FileListModel::rowsInserted, &loop, look);
            QObject::connect(&model, &FileListModel::listed, &loop, &QEventLoop::quit);
            model.setFolder(dir, accept);
            loop.exec();
            best = std::min(best, screenful);
            if (run == 0)
                std::printf("all %d rows in after %.1f ms\n", model.rowCount(), t.nsecsElapsed() / 1e6);
            if (run == 0)
                addedKb = rssKb() - before;
            if (model.rowCount() != kFiles) {
                std::printf("unexpected row count %d\n", model.rowCount());
                rowsRight = false;
            }
        }
        QElapsedTimer t;
        t.start();
        QProcess ls;
        ls.setStandardOutputFile(QProcess::nullDevice());
        ls.start(QStringLiteral("ls"), {QStringLiteral("-1"), dir});
        ls.waitForFinished(-1);
        lsBest = std::min(lsBest, t.nsecsElapsed() / 1e6);
    }
    bench::printLoad("after");
    std::printf("listing %d files: model %.1f ms (first screenful), ls -1 %.1f ms, ratio %.2f (best of 5)\n",
                kFiles, best, lsBest, best / lsBest);
    std::printf("memory added by the listing: %.1f MB\n", addedKb / 1024.0);
    bench::reportRow("listing 100,000 files, first screenful", bench::ratioText(best / lsBest, "ls -1"),
                     QStringLiteral("<= 1.20 x"), rowsRight && best / lsBest <= 1.2);
    bench::reportRow("listing 100,000 files, memory added",
                     QStringLiteral("%1 MB").arg(addedKb / 1024.0, 0, 'f', 1), QStringLiteral("< 50 MB"),
                     addedKb < 50 * 1024);
    return rowsRight ? 0 : 1;
}
