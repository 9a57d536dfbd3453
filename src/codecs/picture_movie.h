// Animations for QMovie: one image-IO handler plays the frames of any AnimationDecoder (GIF, and
// every other kind the kind table gives an animation decoder), so all of them follow the same
// speed and loop rules in the view.
#pragma once

#include "codecs/picture_types.h"

#include <QByteArray>

namespace vorn
{

// The format name under which QImageReader and QMovie read animations through the handler,
// and the bytes to give them for a file of that kind.
QByteArray picture_movie_format();
QByteArray picture_movie_data(const QByteArray &file, PictureKind kind);

} // namespace vorn
