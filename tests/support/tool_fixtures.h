// Fixtures made by the formats' own command-line tools (ImageMagick's convert, tiffcp, cwebp,
// img2webp, webpmux, avifenc, heif-enc, cjxl, ...), from sources the test draws.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMap>
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

// Four quadrants: red top-left, green top-right, blue bottom-left, white bottom-right.
QImage quadrants(int w, int h, QImage::Format format = QImage::Format_RGB32);

// An Exif block as WebP and PNG hold it (the TIFF structure, little-endian, without the JPEG
// "Exif" header) with only the orientation tag.
QByteArray exifBlock(int orientation);

// The picture as a PNG file.
QByteArray pngBytes(const QImage &image);
// The picture as PNG with an eXIf chunk holding the orientation (Qt writes none).
QByteArray pngWithOrientation(const QImage &image, int orientation);

// toolOutput() that fails the test (and gives an empty result) when the tool fails or writes
// nothing; `files` are the folder's files by name.
QByteArray runToolOn(const QString &program, const QStringList &args, const QMap<QString, QByteArray> &files,
                     const QString &output);
// The same with each of `inputs` as in0.png, in1.png, ...
QByteArray runTool(const QString &program, const QStringList &args, const QList<QImage> &inputs,
                   const QString &output);

// An animated PNG written by ffmpeg from `frames` (each shown 500 ms), played `plays` times
// (0: forever).
QByteArray animatedPng(const QList<QImage> &frames, int plays);
// The same animation as JPEG XL, made by cjxl from that APNG (lossless).
QByteArray animatedJxl(const QList<QImage> &frames, int plays);

} // namespace vorn::test
