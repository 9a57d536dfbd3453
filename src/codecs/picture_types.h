// The types every picture decoder shares: the kinds of picture the program reads, what a
// decoder is asked for and what it gives back. Decoders are functions from bytes to a picture,
// without widgets, used alike by the viewers, the catalog, the ZIP preview and the prefetcher.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <functional>

namespace vorn
{

enum class PictureKind { Unknown, Jpeg, Bmp, Ico, Gif, Wmf, Png, Webp, Avif, Heif, Jxl, Tiff, Svg, Raw };

// Guards against decompression bombs: pictures above this many pixels are refused before
// anything of their size is allocated.
constexpr qint64 kMaxPicturePixels = qint64(1) << 28;
// A still frame of an animation (the middle one for thumbnails) is reached by compositing the
// frames before it: at most this many canvas pixels are decoded on the way (a frame nearer the
// start stands in when the middle one lies further).
constexpr qint64 kMaxAnimationWork = qint64(1) << 28;
// Animations play frame by frame on the UI thread: a canvas above this many pixels shows still.
constexpr qint64 kMaxMoviePixels = qint64(1) << 25;

// Picks the shown size once the natural (upright) size is known.
using ShownSizeRule = std::function<QSize(QSize natural)>;

// What a decoder is asked for.
struct DecodeRequest {
    // Valid: the result is exactly this size (decoded by the cheapest reduced path of the
    // format that is still at least this size, then scaled smoothly). Invalid: the natural
    // size. Empty but valid (0 x 0): ok without an image.
    QSize shownSize;
    // When set, picks the shown size from the natural upright size (thumbnails, fitted view);
    // shownSize is then ignored.
    const ShownSizeRule *rule = nullptr;
    qint64 maxPixels = kMaxPicturePixels;
    // An animation gives its middle frame (frame count div 2) instead of the first, as far as
    // compositing at most maxAnimationWork canvas pixels on the way reaches.
    bool middleFrame = false;
    qint64 maxAnimationWork = kMaxAnimationWork;
    // A first look that is soon replaced (the picture view while stepping through a folder): a
    // reduced image down to half the shown size may stand in for a sharper, slower decode (JPEG
    // XL's 1/8 image for a picture shown at a quarter of its size or less); the result then says
    // it is coarse.
    bool coarseFirst = false;
    // Polled between rows, tiles or frames where the library allows; true stops the decode
    // (the result is then not ok).
    std::function<bool()> cancelled;
};

struct LoadedPicture {
    bool ok = false;
    PictureKind kind = PictureKind::Unknown;
    // The picture, upright and in sRGB. Exactly the requested shown size when one was given,
    // else the natural size. Null when the shown size is empty (e.g. 0 x 0) although ok is true.
    QImage image;
    // Size at 100 % as shown (after orientation; at 96 dpi for metafiles and drawings).
    QSize naturalSize;
    // For JPEG: the DCT scale the picture was decoded at, in eighths (8 = full decode).
    int jpegScaleEighths = 0;
    // For animations: number of frames the file holds (1 for a still picture).
    int frameCount = 0;
    // Shown although its data is damaged (for JPEG: what could not be decoded is grey).
    bool damaged = false;
    // Enlarged from a reduced image smaller than the shown size (asked for by coarseFirst): a
    // decode without coarseFirst gives the sharp picture.
    bool coarse = false;
};

// The frames of an animated picture (GIF, animated WebP, APNG), one after the other, each the
// full canvas already composited.
class AnimationDecoder
{
  public:
    virtual ~AnimationDecoder() = default;
    // False when the data is not of this kind, is cut short, holds no frame, or its canvas has
    // more than maxPixels pixels.
    virtual bool open(const QByteArray &data, qint64 maxPixels) = 0;
    virtual QSize size() const = 0;
    // Shown frames (at least 1 once open).
    virtual int frameCount() const = 0;
    // -1: forever; 0: played once; n: n times more.
    virtual int loopCount() const = 0;
    // The frame the last next() gave, -1 before the first.
    virtual int currentFrame() const = 0;
    // The next frame (ARGB32 premultiplied or ARGB32, the canvas size) and how long it stays,
    // in ms; false after the last frame.
    virtual bool next(QImage *frame, int *delayMs) = 0;
    // Back to before the first frame.
    virtual void rewind() = 0;
};

} // namespace vorn
