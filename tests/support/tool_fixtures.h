// Fixtures made by the formats' own command-line tools (ImageMagick's convert, tiffcp, ...).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

namespace vorn::test
{

// Runs `program` in a fresh temporary folder holding the `inputs` (file name, bytes), with
// `args` (file names relative to that folder), and gives the bytes of `output` written there;
// empty when the tool is missing or fails.
QByteArray toolOutput(const QString &program, const QStringList &args,
                      const QList<std::pair<QString, QByteArray>> &inputs, const QString &output);

// ImageMagick's convert from a picture (written as PNG by Qt) with `options` between input and
// output, to `outSpec` ("png:out.png", "PNG8:out.png", "tiff:out.tif", ...).
QByteArray convertPicture(const QImage &image, const QStringList &options, const QString &outSpec);

} // namespace vorn::test
