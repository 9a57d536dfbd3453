// Shrinks a picture by a whole factor while its rows arrive, so a decoder that reads row by row
// (TIFF strips and tiles) can give a small picture without ever holding the large one: each
// pixel of the result is the average of a factor x factor block (the blocks at the right and
// bottom edges may be smaller).
#pragma once

#include <QImage>

#include <functional>
#include <vector>

namespace vorn
{

// Column sums of this many rows of bytes still fit 16 bits.
constexpr int kMaxBoxFactor = 257;

class BoxReducer
{
  public:
    // Turns `count` averaged pixels of the rows' own layout into 32-bit pixels of the result.
    using Convert = std::function<void(const uchar *in, QRgb *out, int count)>;

    // Rows of `width` pixels of `pixelBytes` bytes each (averaged byte by byte, so each byte is
    // a channel: 8-bit samples, or QRgb words premultiplied when there is alpha) arrive top to
    // bottom, `height` in all; the result is in `format`, its rows made by `convert`. Null
    // result when its memory cannot be had.
    BoxReducer(int width, int height, int factor, int pixelBytes, QImage::Format format, Convert convert);

    // Room for the next `count` rows, `width` pixels apart; written by the caller and handed
    // back with rowsDone.
    uchar *rows(int count);
    void rowsDone(int count);

    // The reduced picture, complete once all rows were handed in.
    QImage result() const { return out_; }

  private:
    void flush();

    int width_, height_, factor_, pixelBytes_;
    Convert convert_;
    int y_ = 0;       // rows handed in so far
    int inBlock_ = 0; // of them, rows summed into sums_ and not yet written out
    QImage out_;
    std::vector<uchar> band_;
    std::vector<quint16> sums_;  // per byte of a row, over the rows of the current block
    std::vector<uchar> average_; // one averaged row in the rows' own layout
};

// The whole factor a picture of `stored` size can be shrunk by while staying at least `shown`
// in both directions (1: none), at most kMaxBoxFactor.
int box_factor(QSize stored, QSize shown);

} // namespace vorn
