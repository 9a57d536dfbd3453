#include "support/tool_fixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

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

} // namespace vorn::test
