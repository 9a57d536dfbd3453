// Making a catalog of camera pictures (200 JPEGs of 4000 x 3000 by default), side by side in
// one run with the tools a user would pick instead on the same files: vipsthumbnail and
// `gm mogrify -size 200x200 -thumbnail 100x100 -quality 50`; and, as the floor, libjpeg-turbo's
// 1/8 DCT-scaled decode of the same files in this process. Warm page cache, best of 3 runs.
// Arguments: [count] [width] [height].
#include "bench_util.h"
#include "catalog/catalog_job.h"
#include "catalog/thumbnail.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <unistd.h>
#include <vector>

using namespace vorn;
using namespace vorn::bench;

namespace
{

constexpr int kRuns = 3;

// A photo-like picture: smooth gradients with shapes and fine noise (so the entropy coder has
// real work, as with a camera picture).
QImage photo(int w, int h, int seed)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng{quint32(seed)};
    for (int y = 0; y < h; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(rng.generate() & 15);
            row[x] = qRgb((x * 255 / w + n + seed * 40) & 255, (y * 255 / h + n) & 255,
                          ((x + y) * 128 / (w + h) + n) & 255);
        }
    }
    QPainter p(&img);
    for (int i = 0; i < 40; ++i) {
        p.setBrush(QColor::fromHsv(int(rng.bounded(360)), 180, 200));
        p.drawEllipse(int(rng.bounded(w)), int(rng.bounded(h)), int(rng.bounded(w / 4)) + 20,
                      int(rng.bounded(h / 4)) + 20);
    }
    return img;
}

struct Err {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

extern "C" void bench_fail(j_common_ptr c)
{
    std::longjmp(reinterpret_cast<Err *>(c->err)->jump, 1);
}

// libjpeg-turbo alone: read the file and decode it at 1/8 into a buffer.
bool decode_eighth(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = f.readAll();
    jpeg_decompress_struct cinfo;
    Err err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = bench_fail;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(data.constData()),
                 (unsigned long)data.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = 8;
    cinfo.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&cinfo);
    std::vector<unsigned char> buf(size_t(cinfo.output_width) * 4 * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = buf.data() + size_t(cinfo.output_scanline) * cinfo.output_width * 4;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? atoi(argv[1]) : 200;
    const int width = argc > 2 ? atoi(argv[2]) : 4000;
    const int height = argc > 3 ? atoi(argv[3]) : 3000;
    QTemporaryDir base(QDir::tempPath() + QStringLiteral("/bench_thumbnails-XXXXXX"));
    if (!base.isValid() || count < 1)
        qFatal("no temporary folder");
    const QString pics = base.path() + QStringLiteral("/pics");
    QDir().mkpath(pics);
    std::printf("preparing %d JPEGs of %d x %d in %s ...\n", count, width, height, qPrintable(pics));
    QList<QByteArray> distinct;
    for (int i = 0; i < 4; ++i)
        distinct << encode_jpeg(photo(width, height, i), 92);
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString path = pics + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(distinct[i % 4]) != distinct[i % 4].size())
            qFatal("cannot write %s", qPrintable(path));
        files << path;
    }
    std::printf("average file size %lld KB\n", distinct[0].size() / 1024);
    // The pictures lie on the disk as a user's photos do: what was just written goes out now, not
    // during a timed run (a page written with a sync would otherwise wait for all of it).
    ::sync();

    const int cores = std::max(1, QThread::idealThreadCount());
    const QString out = base.path() + QStringLiteral("/out");
    // An empty output folder and nothing left to write back, before each timed run.
    const auto fresh = [&] {
        freshFolder(out);
        ::sync();
    };
    auto ours = [&](int workers) {
        const CatalogRunResult r =
            run_catalog({files, out, QStringLiteral("[not saved]"),
                         base.path() + QStringLiteral("/bkg_1.jpg"), 100, 7, 28, workers});
        if (r.pictures != count || !r.failed.isEmpty())
            qFatal("catalog failed");
    };
    const bool haveVips = !QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail")).isEmpty();
    const bool haveGm = !QStandardPaths::findExecutable(QStringLiteral("gm")).isEmpty();

    vorn::bench::printLoad("before");
    double floor1 = 1e9, ours1 = 1e9, oursN = 1e9, vips = 1e9, gm = 1e9;
    const auto floorRun = [&] {
        ::sync();
        floor1 = std::min(floor1, timeIt([&] {
                              for (const QString &f : files)
                                  if (!decode_eighth(f))
                                      qFatal("decode failed");
                          }));
    };
    // The one-worker run and its floor lie a few percent apart: they take turns going first,
    // so neither always meets the machine a moment later.
    for (int run = 0; run < kRuns; ++run) {
        if (run % 2 == 0)
            floorRun();
        fresh();
        ours1 = std::min(ours1, timeIt([&] { ours(1); }));
        if (run % 2 == 1)
            floorRun();
        fresh();
        oursN = std::min(oursN, timeIt([&] { ours(cores); }));
        if (haveVips) {
            fresh();
            QStringList args{QStringLiteral("-s"), QStringLiteral("100x100"), QStringLiteral("-o"),
                             out + QStringLiteral("/%s.jpg[Q=50]")};
            vips = std::min(vips, timeIt([&] { runTool(QStringLiteral("vipsthumbnail"), args + files); }));
        }
        if (haveGm) {
            fresh();
            QStringList args{
                QStringLiteral("mogrify"), QStringLiteral("-output-directory"), out,
                QStringLiteral("-size"),   QStringLiteral("200x200"),           QStringLiteral("-thumbnail"),
                QStringLiteral("100x100"), QStringLiteral("-quality"),          QStringLiteral("50")};
            for (const QString &f : files)
                args << QFileInfo(f).fileName();
            gm = std::min(gm, timeIt([&] { runTool(QStringLiteral("gm"), args, pics); }));
        }
    }
    vorn::bench::printLoad("after");
    auto line = [&](const char *task, double t) {
        std::printf("%-46s %9.3f %9.1f %8.2f\n", task, t, count / t, t / floor1);
    };
    std::printf("\nbest of %d alternating runs\n", kRuns);
    std::printf("%-46s %9s %9s %8s\n", "task", "time [s]", "pics/s", "x floor");
    line("floor: libjpeg-turbo 1/8 decode, one core", floor1);
    line("vorn catalog, one worker", ours1);
    std::printf("%-46s %9.3f %9.1f\n", qPrintable(QStringLiteral("vorn catalog, %1 workers").arg(cores)),
                oursN, count / oursN);
    double bestPeer = 1e9;
    if (haveVips) {
        std::printf("%-46s %9.3f %9.1f\n", "vipsthumbnail -s 100x100 (its own threads)", vips, count / vips);
        bestPeer = std::min(bestPeer, vips);
    }
    if (haveGm) {
        std::printf("%-46s %9.3f %9.1f\n", "gm mogrify -size 200x200 -thumbnail 100x100", gm, count / gm);
        bestPeer = std::min(bestPeer, gm);
    }
    using vorn::bench::reportRow;
    reportRow("thumbnails, one worker", QStringLiteral("%1 x the 1/8 decode").arg(ours1 / floor1, 0, 'f', 2),
              QStringLiteral("<= 1.10 x"), ours1 / floor1 <= 1.10);
    if (cores > 1)
        reportRow("thumbnails, all workers against one",
                  QStringLiteral("%1 x with %2 workers").arg(ours1 / oursN, 0, 'f', 2).arg(cores),
                  QStringLiteral(">= %1 x (free cores)").arg(0.9 * cores, 0, 'f', 1),
                  ours1 / oursN >= 0.9 * cores);
    reportRow("thumbnails, all workers", QStringLiteral("%1 pictures/s").arg(count / oursN, 0, 'f', 1),
              QStringLiteral(">= 60 pictures/s"), count / oursN >= 60);
    if (bestPeer < 1e9)
        reportRow("thumbnails, all workers against the fastest peer",
                  vorn::bench::ratioText(oursN / bestPeer, haveVips && vips <= gm ? "vipsthumbnail" : "gm"),
                  QStringLiteral("< 1.00 x"), oursN < bestPeer);
    return 0;
}
