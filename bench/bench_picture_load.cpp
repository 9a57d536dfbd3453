// Showing a big photo: our loader (fitted to 800 x 600, ready to paint, and a full decode)
// against djpeg on the same file (-scale 1/4, and plain). Best of several runs each.
#include "codecs/picture_loader.h"
#include "viewers/pictures/picture_geometry.h"

#include "bench_pictures.h"
#include "bench_util.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QStandardPaths>

#include <cstdio>
#include <functional>

namespace
{

using vorn::bench::cameraLike;
using vorn::bench::Duel;
using vorn::bench::run;

constexpr int kRuns = 7;

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

int main()
{
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
    const QSize view(800, 600);
    bool ok = true;
    const Duel fitted = duel(
        [&] {
            const QRect r = vorn::best_fit_rect(view, QSize(4000, 3000));
            const vorn::LoadedPicture p = vorn::load_picture(path, r.size());
            ok = ok && p.ok && p.image.size() == QSize(800, 600);
        },
        [&] {
            run({"djpeg", "-scale", "1/4", "-outfile", "/dev/null", path});
        });
    const Duel full = duel(
        [&] {
            const vorn::LoadedPicture p = vorn::load_picture(path);
            ok = ok && p.ok && p.image.size() == QSize(4000, 3000);
        },
        [&] {
            run({"djpeg", "-outfile", "/dev/null", path});
        });
    vorn::bench::printLoad("after");
    if (!ok) {
        std::printf("loading failed\n");
        return 1;
    }
    std::printf("best of %d alternating runs\n", kRuns);
    report("fitted 800x600, smooth, paintable", fitted, "djpeg -scale 1/4", 1.3);
    report("full decode 4000x3000", full, "djpeg", 1.2);
    return 0;
}
