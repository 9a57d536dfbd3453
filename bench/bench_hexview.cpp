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
namespace bench = vorn::bench;

int main(int argc, char **argv)
{
    bench::offscreenUnlessChosen();
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
    bench::printLoad("before");
    // The hex view's runs alternate with xxd's; the best of five of each counts.
    double bestOpen = 1e9, bestXxd = 1e9;
    QString last, xxdLast;
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

        t.start();
        QProcess p;
        p.start(QStringLiteral("xxd"), {QStringLiteral("-s"), QStringLiteral("-64"), path});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            std::printf("xxd not available\n");
            return 1;
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

    bench::printLoad("after");
    std::printf("4 GB sparse file, last line:\n  hex view: %s\n  xxd:      %s\n", qPrintable(last),
                qPrintable(xxdLast));
    std::printf("open + last line shown: hex view %.2f ms, xxd -s -64 %.2f ms, ratio %.2f (best of 5)\n",
                bestOpen, bestXxd, bestOpen / bestXxd);
    std::printf("memory added by the open file: %ld kB\n", addedKb);
    std::printf("one screen at a random place: %.2f ms\n", perScreen);
    bench::reportRow("hex view, 4 GB file: last line as xxd shows it", last == xxdLast ? "same" : "differs",
                     QStringLiteral("same"), last == xxdLast);
    bench::reportRow("hex view, 4 GB file: open + last line",
                     bench::ratioText(bestOpen / bestXxd, "xxd -s -64"), QStringLiteral("<= 1.00 x"),
                     bestOpen <= bestXxd);
    bench::reportRow("hex view, 4 GB file: memory added", QStringLiteral("%1 kB").arg(addedKb),
                     QStringLiteral("< 8 MB"), addedKb < 8 * 1024);
    bench::reportRow("hex view: one screen at a random place",
                     QStringLiteral("%1 ms").arg(perScreen, 0, 'f', 2), QStringLiteral("< 16 ms"),
                     perScreen < 16);
    return last == xxdLast ? 0 : 1;
}
