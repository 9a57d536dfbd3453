// What the picture benchmarks share: a camera-like picture, timing our work against a peer
// tool's run in alternation, and starting a tool without a shell.
#pragma once

#include "support/dng_writer.h"

#include <QElapsedTimer>
#include <QImage>
#include <QStringList>

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace vorn::bench
{

// A camera-like picture: smooth gradients with sensor-like noise, which keeps the entropy
// coders as busy as a real photo does.
inline QImage cameraLike(int w, int h)
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

inline double msOf(const std::function<void()> &job)
{
    QElapsedTimer t;
    t.start();
    job();
    return double(t.nsecsElapsed()) / 1e6;
}

inline long minorFaults()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}

// One task of ours against the peer's: the first run of ours in this process (cold: fresh
// memory, code not yet paged in) and the best of `runs` warm runs, each warm run alternating
// with one of the peer's; also the page faults per warm run of ours.
struct Duel {
    double cold = 0, warm = 1e30, peer = 1e30;
    long faultsPerRun = 0;
};

inline Duel duel(const std::function<void()> &ours, const std::function<void()> &peer, int runs)
{
    Duel d;
    d.cold = msOf(ours);
    peer(); // the peer's file cache and code
    long faults = 0;
    for (int i = 0; i < runs; ++i) {
        const long before = minorFaults();
        d.warm = std::min(d.warm, msOf(ours));
        faults += minorFaults() - before;
        d.peer = std::min(d.peer, msOf(peer));
    }
    d.faultsPerRun = faults / runs;
    return d;
}

// Runs a program found on PATH to its end, its standard output (and error) to /dev/null
// unless `stdoutPath` names a file; true when it exits with 0.
inline bool run(const QStringList &args, const char *stdoutPath = "/dev/null")
{
    std::vector<QByteArray> bytes;
    for (const QString &a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (auto &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The format's own encoder run that makes a camera-like file of the kind with `extension`
// ("jpg", "png", "webp", "avif", "heic", "jxl", "tif") from a PNG: %1 the PNG, %2 the file.
inline QStringList encoderCommand(const QString &extension)
{
    if (extension == QLatin1String("jpg"))
        return {"convert", "%1", "-quality", "90", "%2"};
    if (extension == QLatin1String("png"))
        return {"convert", "%1", "%2"};
    if (extension == QLatin1String("webp"))
        return {"cwebp", "-quiet", "-q", "90", "%1", "-o", "%2"};
    if (extension == QLatin1String("avif"))
        return {"avifenc", "-s", "10", "-j", "2", "%1", "%2"};
    // heif-enc's own quality: a 12 MP photo of about 3 MB, as phones write them. (At -q 90 the
    // file is 2.5 times the size of the JPEG at quality 90 and four times a phone's.)
    if (extension == QLatin1String("heic"))
        return {"heif-enc", "%1", "-o", "%2"};
    if (extension == QLatin1String("jxl"))
        return {"cjxl", "%1", "%2", "-d", "1", "-e", "3"};
    if (extension == QLatin1String("tif"))
        return {"convert", "%1", "-compress", "lzw", "%2"};
    return {};
}

// A DNG of the picture in `png`: its mosaic, with a full-size JPEG preview as cameras embed.
inline bool makeDng(const QString &png, const QString &file)
{
    const QImage scene(png);
    vorn::test::DngPicture dng{scene};
    dng.preview = scene;
    return vorn::test::writeDng(file, dng);
}

// `png` as a file of the kind with `extension` (the ones of encoderCommand, and "dng").
inline bool makePicture(const QString &extension, const QString &png, const QString &file)
{
    if (extension == QLatin1String("dng"))
        return makeDng(png, file);
    QStringList args = encoderCommand(extension);
    for (QString &a : args)
        a.replace(QLatin1String("%1"), png).replace(QLatin1String("%2"), file);
    return !args.isEmpty() && run(args);
}

} // namespace vorn::bench
