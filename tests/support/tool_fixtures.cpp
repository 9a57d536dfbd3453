#include "support/tool_fixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

namespace vorn::test
{

QByteArray toolOutput(const QString &program, const QStringList &args,
                      const QList<std::pair<QString, QByteArray>> &inputs, const QString &output)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return {};
    for (const auto &[name, bytes] : inputs) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return {};
    }
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    QFile out(dir.filePath(output));
    return out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray();
}

QByteArray convertPicture(const QImage &image, const QStringList &options, const QString &outSpec)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    const qsizetype colon = outSpec.indexOf(QLatin1Char(':'));
    const QString outFile = colon >= 0 ? outSpec.mid(colon + 1) : outSpec;
    return toolOutput(QStringLiteral("convert"),
                      QStringList{QStringLiteral("in.png")} + options + QStringList{outSpec},
                      {{QStringLiteral("in.png"), png}}, outFile);
}

QImage quadrants(int w, int h, QImage::Format format)
{
    QImage image(w, h, format);
    image.fill(Qt::white);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h / 2, Qt::red);
    p.fillRect(w / 2, 0, w - w / 2, h / 2, Qt::green);
    p.fillRect(0, h / 2, w / 2, h - h / 2, Qt::blue);
    return image;
}

QByteArray exifBlock(int orientation)
{
    // "II", 42, IFD0 at 8; one entry: tag 0x0112, SHORT, count 1, the value; no next IFD.
    const uchar bytes[] = {
        'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, uchar(orientation),
        0,   0,   0,  0, 0, 0, 0};
    return QByteArray(reinterpret_cast<const char *>(bytes), sizeof bytes);
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray pngWithOrientation(const QImage &image, int orientation)
{
    QByteArray png = pngBytes(image);
    // The chunk goes right after IHDR (8 bytes of signature, 25 of IHDR).
    const QByteArray data = exifBlock(orientation);
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    const QByteArray typed = "eXIf" + data;
    chunk += typed;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(
        quint32(crc32(0, reinterpret_cast<const Bytef *>(typed.constData()), uInt(typed.size()))),
        crc.data());
    chunk += crc;
    return png.insert(33, chunk);
}

QByteArray runToolOn(const QString &program, const QStringList &args, const QMap<QString, QByteArray> &files,
                     const QString &output)
{
    QList<std::pair<QString, QByteArray>> inputs;
    for (auto it = files.begin(); it != files.end(); ++it)
        inputs.append({it.key(), it.value()});
    const QByteArray made = toolOutput(program, args, inputs, output);
    if (made.isEmpty())
        QTest::qFail(
            qPrintable(program + QLatin1Char(' ') + args.join(QLatin1Char(' ')) + QStringLiteral(" failed")),
            __FILE__, __LINE__);
    return made;
}

QByteArray runTool(const QString &program, const QStringList &args, const QList<QImage> &inputs,
                   const QString &output)
{
    QMap<QString, QByteArray> files;
    for (int i = 0; i < inputs.size(); ++i)
        files.insert(QStringLiteral("in%1.png").arg(i), pngBytes(inputs[i]));
    return runToolOn(program, args, files, output);
}

QByteArray animatedPng(const QList<QImage> &frames, int plays)
{
    QList<std::pair<QString, QByteArray>> inputs;
    for (qsizetype i = 0; i < frames.size(); ++i)
        inputs.append({QStringLiteral("f%1.png").arg(i + 1), pngBytes(frames[i])});
    return toolOutput(QStringLiteral("ffmpeg"),
                      {"-loglevel", "error", "-framerate", "2", "-i", "f%d.png", "-f", "apng", "-plays",
                       QString::number(plays), "out.png"},
                      inputs, QStringLiteral("out.png"));
}

QByteArray animatedJxl(const QList<QImage> &frames, int plays)
{
    const QByteArray apng = animatedPng(frames, plays);
    if (apng.isEmpty())
        return {};
    return toolOutput(QStringLiteral("cjxl"), {"--quiet", "in.png", "out.jxl", "-d", "0"},
                      {{QStringLiteral("in.png"), apng}}, QStringLiteral("out.jxl"));
}

} // namespace vorn::test
