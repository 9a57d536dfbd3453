// Showing a big photo: our loader (fitted to 800 x 600, ready to paint, and a full decode)
// against djpeg on the same file (-scale 1/4, and plain). Best of several runs each.
#include "codecs/picture_loader.h"
#include "viewers/pictures/picture_geometry.h"

#include "bench_util.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QStandardPaths>

#include <cstdio>
#include <functional>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace
{

constexpr int kRuns = 7;

// A camera-like picture: smooth gradients with sensor-like noise, which keeps the entropy
// coder as busy as a real photo does.
QImage cameraLike(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int((seed >> 24) & 31) - 16;
            const int r = (x * 255 / w) + n, g = (y * 255 / h) + n, b = ((x + y) * 255 / (w + h)) + (n / 2);
            line[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}

double msOf(const std::function<void()> &job)
{
    QElapsedTimer t;
    t.start();
    job();
    return t.nsecsElapsed() / 1e6;
}

long minorFaults()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}

// One task of ours against the peer's: the first run of ours in this process (cold: fresh memory,
// code not yet paged in) and the best of kRuns warm runs, each warm run alternating with one of
// the peer's; also the page faults per warm run of ours.
struct Duel {
    double cold = 0, warm = 1e30, peer = 1e30;
    long faultsPerRun = 0;
};

Duel duel(const std::function<void()> &ours, const std::function<void()> &peer)
{
    Duel d;
    d.cold = msOf(ours);
    peer(); // the peer's file cache and code
    long faults = 0;
    for (int i = 0; i < kRuns; ++i) {
        const long before = minorFaults();
        d.warm = std::min(d.warm, msOf(ours));
        faults += minorFaults() - before;
        d.peer = std::min(d.peer, msOf(peer));
    }
    d.faultsPerRun = faults / kRuns;
    return d;
}

bool run(const QStringList &args)
{
    std::vector<QByteArray> bytes;
    for (const QString &a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (auto &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
