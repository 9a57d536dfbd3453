// Showing a big photo: our loader (fitted to 800 x 600, ready to paint, and a full decode)
// against djpeg on the same file (-scale 1/4, and plain). Best of several runs each. The cold
// figure is the first decode in a fresh process (this program started again with --cold), as
// djpeg's every run is; best of several such processes.
#include "codecs/picture_loader.h"
#include "viewers/pictures/picture_geometry.h"

#include "bench_pictures.h"
#include "bench_util.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>
#include <functional>

namespace
{

using vorn::bench::cameraLike;
using vorn::bench::Duel;
using vorn::bench::run;

constexpr int kRuns = 7;
constexpr int kColdRuns = 5;
const QSize kView(800, 600);

// The one decode of a cold run: fitted or full; true when it gave the expected picture.
bool decodeOnce(const QString &path, bool fitted)
{
    if (fitted) {
        const QRect r = vorn::best_fit_rect(kView, QSize(4000, 3000));
        const vorn::LoadedPicture p = vorn::load_picture(path, r.size());
        return p.ok && p.image.size() == kView;
    }
    const vorn::LoadedPicture p = vorn::load_picture(path);
    return p.ok && p.image.size() == QSize(4000, 3000);
}

// The best time of the first decode in each of several fresh processes, alternating with a
// run of the peer; negative when a run failed.
double coldMs(const char *self, const QString &path, bool fitted, const std::function<void()> &peer)
{
    double best = 1e30;
    for (int i = 0; i < kColdRuns; ++i) {
        QProcess p;
        p.start(QString::fromLocal8Bit(self),
                {QStringLiteral("--cold"), fitted ? QStringLiteral("fitted") : QStringLiteral("full"), path});
        if (!p.waitForFinished(-1) || p.exitCode() != 0)
            return -1;
        best = std::min(best, p.readAllStandardOutput().trimmed().toDouble());
        peer();
    }
    return best;
}

Duel duel(const std::function<void()> &ours, const std::function<void()> &peer)
{
    return vorn::bench::duel(ours, peer, kRuns);
}

void report(const char *what, const Duel &d, const char *other, double goal)
{
    std::printf(
        "%-34s cold %7.1f ms, warm %7.1f ms, %6ld faults   %-18s %7.1f ms   ratio %.2f (goal <= %.1f)\n",
        what, d.cold, d.warm, d.faultsPerRun, other, d.peer, d.warm / d.peer, goal);
    const QString name = QString::fromLatin1(what);
    vorn::bench::reportRow(qPrintable(name + QStringLiteral(", warm")),
                           vorn::bench::ratioText(d.warm / d.peer, other),
                           QStringLiteral("<= %1 x").arg(goal, 0, 'f', 2), d.warm / d.peer <= goal);
    vorn::bench::reportRow(qPrintable(name + QStringLiteral(", cold")),
                           vorn::bench::ratioText(d.cold / d.peer, other),
                           QStringLiteral("<= %1 x").arg(goal, 0, 'f', 2), d.cold / d.peer <= goal);
    vorn::bench::reportRow(qPrintable(name + QStringLiteral(", page faults per picture")),
                           QString::number(d.faultsPerRun), QStringLiteral("< 1000"), d.faultsPerRun < 1000);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--cold") == 0) {
        const bool fitted = qstrcmp(argv[2], "fitted") == 0;
        const QString file = QString::fromLocal8Bit(argv[3]);
        bool ok = false;
        const double ms = vorn::bench::msOf([&] { ok = decodeOnce(file, fitted); });
        std::printf("%.3f\n", ms);
        return ok ? 0 : 1;
    }
    const QString path = QDir::tempPath() + "/vorn_bench_photo_4000x3000.jpg";
    if (!QFile::exists(path)) {
        std::printf("writing %s ...\n", qPrintable(path));
        if (!cameraLike(4000, 3000).save(path, "JPEG", 90)) {
            std::printf("cannot write the test photo\n");
            return 1;
        }
    }
    std::printf("photo: %s, %lld bytes\n", qPrintable(path), QFile(path).size());
    if (!run({"djpeg", "-scale", "1/4", "-outfile", "/dev/null", path})) {
        std::printf("djpeg not found\n");
        return 1;
    }

    vorn::bench::printLoad("before");
    bool ok = true;
    const auto fittedPeer = [&] { run({"djpeg", "-scale", "1/4", "-outfile", "/dev/null", path}); };
    const auto fullPeer = [&] { run({"djpeg", "-outfile", "/dev/null", path}); };
    const double coldFitted = coldMs(argv[0], path, true, fittedPeer);
    const double coldFull = coldMs(argv[0], path, false, fullPeer);
    Duel fitted = duel([&] { ok = decodeOnce(path, true) && ok; }, fittedPeer);
    Duel full = duel([&] { ok = decodeOnce(path, false) && ok; }, fullPeer);
    fitted.cold = coldFitted;
    full.cold = coldFull;
    vorn::bench::printLoad("after");
    if (!ok || coldFitted < 0 || coldFull < 0) {
        std::printf("loading failed\n");
        return 1;
    }
    std::printf("best of %d alternating runs (cold: of %d fresh processes)\n", kRuns, kColdRuns);
    report("fitted 800x600, smooth, paintable", fitted, "djpeg -scale 1/4", 1.3);
    report("full decode 4000x3000", full, "djpeg", 1.2);
    return 0;
}
