// Short video clips made at test time by ffmpeg from its test source (a counter drawn on a
// colour pattern), so that no media file is checked in.
#pragma once

#include <QSize>
#include <QString>

namespace vorn::test
{

// Mpeg1Mp2: MPEG-1 video with an MP2 sound track (a tone) in an MPEG program stream.
enum class ClipCodec { Mpeg1, Mpeg1Mp2, Mpeg2, Avi, Mp4 };

// Writes a clip of `frames` frames at 25 frames per second and `size` to `path`, with a key
// frame every 12 frames. False (with a warning) when ffmpeg is missing or fails.
bool make_clip(const QString &path, ClipCodec codec, QSize size = QSize(320, 240), int frames = 50);

} // namespace vorn::test
