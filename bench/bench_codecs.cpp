// Each picture kind of the kind table on a 12 MP picture made with the format's own encoder,
// against the format's own command-line decoder: the full decode, the fitted view (800 x 600,
// through the cheapest path the format offers), and the memory a shown picture keeps.
#include "codecs/image_memory.h"
#include "codecs/picture_kinds.h"
#include "viewers/pictures/picture_geometry.h"

#include "bench_pictures.h"
#include "bench_util.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>
#include <malloc.h>
#include <vector>

using namespace vorn;
using namespace vorn::bench;

namespace
{

constexpr int kWidth = 4000, kHeight = 3000;
// Rounds of the duel: at least the first, at most the second; a round more only while the last
// one still bettered a best time by more than kSettled.
constexpr int kMinRounds = 2, kMaxRounds = 4;
constexpr double kSettled = 0.03;
constexpr int kHeldPictures = 3;
const QSize kView(800, 600);

// How a kind is benchmarked: the file made from the source picture by the format's own
// encoder, the format's own decoder run on it (%1 the file, %2 a scratch output on tmpfs), and
// whether the format has a reduced path for a fitted view that skips most of the decoding (a
// JPEG's DCT scaling still decodes all of its entropy-coded data; bench_picture_load holds it
// to djpeg's own scaled decode).
struct KindBench {
    PictureKind kind;
    const char *name;
    const char *extension;
    // Makes `file` from the source PNG; false when the encoder is missing or fails.
    std::function<bool(const QString &png, const QString &file)> make;
    QStringList decoder;
    bool reduced;
};

QStringList filled(const QStringList &args, const QString &file, const QString &scratch)
{
    QStringList out;
    for (const QString &a : args)
        out << QString(a).replace(QLatin1String("%1"), file).replace(QLatin1String("%2"), scratch);
    return out;
}

std::function<bool(const QString &, const QString &)> maker(const char *extension)
{
    return [extension](const QString &png, const QString &file) {
        return makePicture(QLatin1String(extension), png, file);
    };
}

std::vector<KindBench> kindBenches()
{
    // clang-format off
    return {
        {PictureKind::Jpeg, "JPEG", "jpg", maker("jpg"),
         {"djpeg", "-outfile", "/dev/null", "%1"}, false},
        {PictureKind::Png, "PNG", "png", maker("png"),
         {"convert", "%1", "ppm:/dev/null"}, false},
        {PictureKind::Webp, "WebP", "webp", maker("webp"),
         {"dwebp", "-quiet", "%1", "-ppm", "-o", "/dev/null"}, true},
        {PictureKind::Avif, "AVIF", "avif", maker("avif"),
         {"avifdec", "%1", "%2.y4m"}, false},
        {PictureKind::Heif, "HEIF", "heic", maker("heic"),
         {"heif-convert", "%1", "%2.y4m"}, false},
        {PictureKind::Jxl, "JPEG XL", "jxl", maker("jxl"),
         {"djxl", "%1", "%2.ppm"}, true},
        {PictureKind::Tiff, "TIFF", "tif", maker("tif"),
         {"tiffcp", "-c", "none", "%1", "%2.tif"}, false},
        {PictureKind::Raw, "RAW (DNG)", "dng", maker("dng"),
         {"dcraw_emu", "-w", "-W", "-g", "2.4", "12.92", "-Z", "-", "%1"}, true},
    };
    // clang-format on
}

DecodeRequest fittedRequest(const ShownSizeRule &rule)
{
    DecodeRequest req;
    req.rule = &rule;
    return req;
}

// Bytes a picture keeps in memory per picture held, over the bytes of its pixels: `count`
// pictures decoded and held, the resident memory before and after (the allocator's free
// memory given back first, so only what is held counts).
// Run after the timed decodes, so the decoder's own buffers and the thread's scratch picture are
// there already.
double memoryPerPicture(const std::function<QImage()> &decode, int count)
{
    std::vector<QImage> held;
    malloc_trim(0);
    const long before = rssKb();
    qint64 pixelBytes = 0;
    for (int i = 0; i < count; ++i) {
        held.push_back(decode());
        pixelBytes += held.back().sizeInBytes();
    }
    malloc_trim(0);
    const long after = rssKb();
    return pixelBytes > 0 ? double(after - before) * 1024 / double(pixelBytes) : 1e9;
}

// One kind's times: our full and fitted decodes against the peer, in rounds of our full decode,
// the peer's run, our fitted decode (and the second peer's run when there is one): the peer,
// often the slow side, runs once per round for both of our figures, and a busy machine weighs on
// both sides alike. The first run of each of ours is the cold one; the best of the rest counts.
struct Rounds {
    double coldFull = 0, coldFitted = 0;
    double full = 1e30, fitted = 1e30, peer = 1e30, secondPeer = 1e30;
    int count = 0;
};

Rounds rounds(const std::function<void()> &full, const std::function<void()> &fitted,
              const std::function<void()> &peer, const std::function<void()> &secondPeer)
{
    Rounds r;
    r.coldFull = msOf(full);
    r.coldFitted = msOf(fitted);
    const auto better = [](double *best, double now) {
        const bool much = now < *best * (1 - kSettled);
        *best = std::min(*best, now);
        return much;
    };
    for (r.count = 1; r.count <= kMaxRounds; ++r.count) {
        bool moved = better(&r.full, msOf(full));
        moved = better(&r.peer, msOf(peer)) || moved;
        moved = better(&r.fitted, msOf(fitted)) || moved;
        if (secondPeer)
            moved = better(&r.secondPeer, msOf(secondPeer)) || moved;
        if (r.count >= kMinRounds && !moved)
            break;
    }
    r.count = std::min(r.count, kMaxRounds);
    return r;
}

void row(const QString &name, double ratio, const QString &peer, double goal)
{
    std::printf("  %-44s %6.2f x %-28s (goal <= %.2f)\n", qPrintable(name), ratio, qPrintable(peer), goal);
    reportRow(qPrintable(name), ratioText(ratio, qPrintable(peer)),
              QStringLiteral("<= %1 x").arg(goal, 0, 'f', 2), ratio <= goal);
}

// Benchmarks one kind; false when its file cannot be made or read.
bool benchKind(const KindBench &k, const QString &folder, const QString &png)
{
    // The file is kept for later runs under a name that changes with the encoder's settings.
    const QString settings = encoderCommand(QLatin1String(k.extension)).join(QLatin1Char(' '));
    const QString file = folder +
                         QStringLiteral("/picture-%1.").arg(qHash(settings), 8, 16, QLatin1Char('0')) +
                         QLatin1String(k.extension);
    const QString scratch = QStringLiteral("/dev/shm/vorn_bench_codecs_out");
    if (!QFile::exists(file) && !k.make(png, file)) {
        std::printf("%s: the encoder is missing or failed, skipped\n", k.name);
        return false;
    }
    const QStringList decoder = filled(k.decoder, file, scratch);
    const QString peer = decoder.first();
    if (!run(decoder)) {
        std::printf("%s: %s is missing or failed, skipped\n", k.name, qPrintable(peer));
        return false;
    }
    const PictureKind kind = picture_kind(file);
    bool ok = kind == k.kind;
    const ShownSizeRule fit = [](QSize natural) { return best_fit_rect(kView, natural).size(); };
    // Reads and decodes the file as asked, checking the size it gives.
    const auto decoding = [&](const DecodeRequest &req, QSize expected) {
        return [&, req, expected] {
            const LoadedPicture p = decode_picture(read_whole_file(file), kind, req);
            ok = ok && p.ok && p.image.size() == expected;
            return p.image;
        };
    };
    const auto full = decoding(DecodeRequest(), QSize(kWidth, kHeight));
    const auto fitted = decoding(fittedRequest(fit), kView);
    // For RAW also the preview as the library's own tools give it: extracted, decoded at 1/4.
    const QString thumb = file + QStringLiteral(".thumb.jpg");
    std::function<void()> previewTools;
    if (k.kind == PictureKind::Raw)
        previewTools = [&] {
            run({"simple_dcraw", "-e", file});
            run({"djpeg", "-scale", "1/4", "-outfile", "/dev/null", thumb});
        };
    const Rounds t = rounds([&] { full(); }, [&] { fitted(); }, [&] { run(decoder); }, previewTools);
    // The peer's output is not kept: tmpfs holds it in memory.
    for (const QString &out :
         QDir(QFileInfo(scratch).path(), QFileInfo(scratch).fileName() + QStringLiteral("*"))
             .entryList(QDir::Files))
        QFile::remove(QFileInfo(scratch).path() + QLatin1Char('/') + out);
    const double fittedMemory = memoryPerPicture(fitted, kHeldPictures);
    const double fullMemory = memoryPerPicture(full, 1);
    if (!ok) {
        std::printf("%s: our decoder failed or gave the wrong size\n", k.name);
        return false;
    }
    std::printf(
        "%s (%lld bytes, %d rounds): full %.1f ms (cold %.1f), fitted %.1f ms (cold %.1f), %s %.1f ms\n",
        k.name, QFile(file).size(), t.count, t.full, t.coldFull, t.fitted, t.coldFitted, qPrintable(peer),
        t.peer);
    const QString name = QLatin1String(k.name);
    row(name + QStringLiteral(" full decode 12 MP"), t.full / t.peer, peer, 1.2);
    row(name + QStringLiteral(" fitted 800x600") + (k.reduced ? QStringLiteral(", reduced path") : QString()),
        t.fitted / t.peer, peer, k.reduced ? 0.5 : 1.2);
    row(name + QStringLiteral(" memory per fitted picture"), fittedMemory, QStringLiteral("its pixels"), 1.2);
    row(name + QStringLiteral(" memory per picture at 100 %"), fullMemory, QStringLiteral("its pixels"), 1.2);
    if (previewTools)
        row(name + QStringLiteral(" fitted 800x600 vs the preview tools"), t.fitted / t.secondPeer,
            QStringLiteral("simple_dcraw -e + djpeg -scale 1/4"), 1.2);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = QDir::tempPath() + QStringLiteral("/vorn_bench_codecs");
    QDir().mkpath(folder);
    const QString png = folder + QStringLiteral("/source.png");
    if (!QFile::exists(png)) {
        std::printf("writing %s ...\n", qPrintable(png));
        if (!cameraLike(kWidth, kHeight).save(png, "PNG", 50)) {
            std::printf("cannot write the source picture\n");
            return 1;
        }
    }
    // Only the kinds whose extensions are named on the command line, when any are (e.g. "dng").
    QStringList only;
    for (int i = 1; i < argc; ++i)
        only << QString::fromLocal8Bit(argv[i]).toLower();
    printLoad("before");
    int failed = 0;
    for (const KindBench &k : kindBenches()) {
        if (!only.isEmpty() && !only.contains(QLatin1String(k.extension)))
            continue;
        if (!picture_kind_info(k.kind).decode) {
            std::printf("%s: no decoder in the kind table, skipped\n", k.name);
            continue;
        }
        if (!benchKind(k, folder, png))
            ++failed;
    }
    printLoad("after");
    return failed == 0 ? 0 : 1;
}
