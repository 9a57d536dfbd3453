// GIF pictures composited as GIF89a describes: the logical screen starts transparent, each image
// is drawn at its place (clipped to the screen) without its transparent index, then disposed of
// by its disposal method (0-1 keep, 2 clear to transparent, 3 restore what was there before).
// Image blocks without a delay are drawn together with the ones that follow, as browsers show
// them, so a shown frame ends at an image with a delay or at the last image.
#pragma once

#include "codecs/picture_types.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <vector>

namespace vorn
{

class GifDecoder : public AnimationDecoder
{
  public:
    // Walks the file's blocks. False when it is no GIF, a block is cut short, it holds no image,
    // or its logical screen has more than maxPixels pixels or more than its image data can paint
    // (each LZW code yields at most 4096 pixels).
    bool open(const QByteArray &data, qint64 maxPixels) override;

    QSize size() const override { return screen_; }
    // Shown frames (at least 1 once open).
    int frameCount() const override { return int(frameEnds_.size()); }
    // -1: forever; 0: played once (no loop extension); n: n times more.
    int loopCount() const override { return loops_; }
    // The frame the last next() gave, -1 before the first.
    int currentFrame() const override { return frame_; }

    // The next shown frame (ARGB32, the size of the screen) and how long it stays, in ms;
    // false after the last frame.
    bool next(QImage *frame, int *delayMs) override;
    // Back to before the first frame.
    void rewind() override;

  private:
    struct Image {
        qsizetype at = 0; // offset of the image descriptor, after its 0x2C
        int disposal = 0;
        int transparent = -1;
        int delayCs = 0;
    };
    void draw(const Image &image);
    void dispose(const Image &image, const QImage &before);

    QByteArray data_;
    QSize screen_;
    std::vector<QRgb> global_;
    std::vector<Image> images_;
    std::vector<int> frameEnds_; // index of the last image of each shown frame
    int loops_ = 0;
    QImage canvas_;
    int nextImage_ = 0;
    int frame_ = -1;
};

} // namespace vorn
