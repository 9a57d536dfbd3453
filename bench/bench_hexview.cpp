// Opening a 4 GB sparse file in the hex view and showing its last line, against `xxd -s -64`
// on the same file (what a user would type to see the end of a large binary). Also the time
// per screen while scrolling to random places, and the memory the open file adds.
#include "widgets/hex_widget.h"

#include "bench_util.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

using namespace vorn;
using vorn::bench::rssKb;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sparse.img"));
    constexpr qint64 kSize = qint64(4) << 30;
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || !f.resize(kSize)) {
            std::printf("cannot create a 4 GB sparse file in %s\n", qPrintable(dir.path()));
            return 1;
        }
        f.seek(kSize - 3);
        f.write("END");
    }

    HexWidget hex(QStringLiteral("texthex"));
    hex.resize(800, 600);
    double bestOpen = 1e9;
    QString last;
    long addedKb = 0;
    for (int run = 0; run < 5; ++run) {
        const long before = rssKb();
        QElapsedTimer t;
        t.start();
        hex.openFile(path);
        hex.scrollToLine(hex.lineCount());
        last = hex.lineText(hex.lineCount() - 1);
        hex.grab(); // the screen with the last lines
        bestOpen = qMin(bestOpen, t.nsecsElapsed() / 1e6);
        addedKb = qMax(addedKb, rssKb() - before);
        hex.clear();
    }

    double bestXxd = 1e9;
    QString xxdLast;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.start(QStringLiteral("xxd"), {QStringLiteral("-s"), QStringLiteral("-64"), path});
        if (!p.waitForFinished(60000)) {
            std::printf("xxd not available\n");
            break;
        }
        const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
        xxdLast = QString::fromLatin1(lines.last());
        bestXxd = qMin(bestXxd, t.nsecsElapsed() / 1e6);
    }

    // Scrolling: a screen painted at 200 random places of the file.
    hex.openFile(path);
    QRandomGenerator rng(7);
    QElapsedTimer t;
    t.start();
    constexpr int kScreens = 200;
    for (int i = 0; i < kScreens; ++i) {
        hex.scrollToLine(qint64(rng.bounded(quint64(hex.lineCount()))));
        hex.grab();
    }
    const double perScreen = t.nsecsElapsed() / 1e6 / kScreens;

    std::printf("4 GB sparse file, last line:\n  hex view: %s\n  xxd:      %s\n", qPrintable(last),
                qPrintable(xxdLast));
    std::printf("lines agree: %s\n", last == xxdLast ? "yes" : "NO");
    std::printf("open + last line shown: hex view %.2f ms, xxd -s -64 %.2f ms, ratio %.2f\n", bestOpen,
                bestXxd, bestOpen / bestXxd);
    std::printf("memory added by the open file: %ld kB\n", addedKb);
    std::printf("one screen at a random place: %.2f ms\n", perScreen);
    return last == xxdLast ? 0 : 1;
}
