#include "support/video_fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

namespace vorn::test
{

bool make_clip(const QString &path, ClipCodec codec, QSize size, int frames)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QStringList args = {QStringLiteral("-v"),
                        QStringLiteral("error"),
                        QStringLiteral("-nostdin"),
                        QStringLiteral("-f"),
                        QStringLiteral("lavfi"),
                        QStringLiteral("-i"),
                        QStringLiteral("testsrc=size=%1x%2:rate=25").arg(size.width()).arg(size.height())};
    if (codec == ClipCodec::Mpeg1Mp2)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(frames / 25.0);
    args << QStringLiteral("-frames:v") << QString::number(frames) << QStringLiteral("-g")
         << QStringLiteral("12");
    switch (codec) {
    case ClipCodec::Mpeg1:
        args << QStringLiteral("-c:v") << QStringLiteral("mpeg1video");
        break;
    case ClipCodec::Mpeg1Mp2:
        args << QStringLiteral("-c:v") << QStringLiteral("mpeg1video") << QStringLiteral("-c:a")
             << QStringLiteral("mp2") << QStringLiteral("-f") << QStringLiteral("mpeg");
        break;
    case ClipCodec::Mpeg2:
        args << QStringLiteral("-c:v") << QStringLiteral("mpeg2video");
        break;
    case ClipCodec::Avi:
        args << QStringLiteral("-c:v") << QStringLiteral("mpeg4");
        break;
    case ClipCodec::Mp4:
        args << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
             << QStringLiteral("ultrafast") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
        break;
    }
    args << QStringLiteral("-y") << path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitStatus() != QProcess::NormalExit ||
        ffmpeg.exitCode() != 0) {
        qWarning("ffmpeg could not make %s: %s", qPrintable(path), ffmpeg.readAllStandardError().constData());
        return false;
    }
    return QFileInfo(path).size() > 0;
}

} // namespace vorn::test
