// The one table of picture kinds: extension -> kind -> decoder. The file list, the picture view,
// the slideshow, the magnifier, the catalog, the ZIP preview and the prefetcher all ask it. A
// kind without a decoder is not a picture (its files open as any other file).
#pragma once

#include "codecs/picture_types.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <span>

namespace vorn
{

// Bytes to a picture, upright and in sRGB, as the request asks (see DecodeRequest).
using PictureDecoder = LoadedPicture (*)(const QByteArray &data, const DecodeRequest &request);
// A fresh decoder for the frames of an animation of the kind.
using AnimationFactory = std::unique_ptr<AnimationDecoder> (*)();
// The natural (upright) size from the first bytes of a file (at most kProbeBytes); invalid when
// the header does not tell.
using PictureProbe = QSize (*)(const QByteArray &head);
constexpr qsizetype kProbeBytes = 256 * 1024;

struct PictureKindInfo {
    PictureKind kind = PictureKind::Unknown;
    // Lower case, without the dot.
    QStringList extensions;
    PictureDecoder decode = nullptr;
    // Set for kinds whose files may hold an animation; a file with one frame shows still.
    AnimationFactory animation = nullptr;
    PictureProbe probe = nullptr;
    // Drawn over the view's background (the kind may hold transparent pixels).
    bool transparent = false;
    // Drawn at any size (metafiles, drawings): rendered again at the shown size.
    bool vector = false;
    // Decodes cheaper at a smaller shown size (scaled decoding, a preview or reduced pages);
    // the fitted view asks for its size when the probe tells the natural size.
    bool reduced = false;
};

// Every row, in a fixed order (the described kinds first).
std::span<const PictureKindInfo> picture_kind_table();
// The row of a kind (an empty row for Unknown).
const PictureKindInfo &picture_kind_info(PictureKind kind);

// The kind by the lower-cased extension of a file name or path; Unknown when no row with a
// decoder has it.
PictureKind picture_kind(const QString &fileName);
// The extensions of every kind with a decoder, with the dot (".jpg", ...).
QStringList picture_extensions();

// The kind's files may animate (they are played when they hold more than one frame).
bool is_animated_kind(PictureKind kind);
// Drawn over the view's background.
bool is_transparent_kind(PictureKind kind);

// Through the kind's decoder; not ok for a kind without one.
LoadedPicture decode_picture(const QByteArray &data, PictureKind kind, const DecodeRequest &request);
// Null for a kind that never animates.
std::unique_ptr<AnimationDecoder> make_animation_decoder(PictureKind kind);

// The frame of an animation a still picture shows: 0, or for the middle frame (frame count div
// 2) as far towards it as the request's work bound allows on a canvas of that size.
int still_frame_index(const DecodeRequest &request, int frameCount, QSize canvas);

// For decoders of animations: opens `decoder` on the data and gives the frame still_frame_index
// picks, fitted to the request's shown size; cancellable between frames.
LoadedPicture decode_animation_frame(AnimationDecoder &decoder, const QByteArray &data, PictureKind kind,
                                     const DecodeRequest &request);

// The shown size a request asks for, once the natural upright size is known: the rule's pick,
// else the shown size (invalid: the natural size).
QSize requested_size(const DecodeRequest &request, QSize natural);
// `image` at the shown size (invalid: as it is; empty: a null image), scaled smoothly (reduced
// by area averaging on the calling thread).
QImage fit_to(const QImage &image, QSize shown);
// Both sides positive and at most maxPixels pixels.
bool within_pixels(QSize size, qint64 maxPixels);

} // namespace vorn
