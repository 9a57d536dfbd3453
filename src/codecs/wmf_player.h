// A small player for Windows metafiles (WMF): checks the headers and the record chain, then
// draws the records with QPainter at any size, so metafiles stay sharp when scaled. The record
// table is in wmf_records.h, the bitmap records in wmf_dib.h, the drawing state in
// wmf_playback.h.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>

class QPainter;

namespace vorn
{

class WmfPlayer
{
  public:
    // Parses the placeable and standard headers and walks every record, checking that each
    // lies inside the data and that the chain ends with the end record. False on anything
    // malformed; nothing is drawn then.
    bool load(const QByteArray &data);
    bool isValid() const { return valid_; }

    // Size at 100 %: the placeable bounding box at 96 dpi, or the window extent of a file
    // without a placeable header.
    QSize naturalSize() const { return natural_; }
    // The logical rectangle the picture covers (bounding box or first window).
    QRect frame() const { return frame_; }

    // Draws the records so that the logical window fills (0, 0, target).
    void play(QPainter &painter, QSize target) const;
    // A picture of the given size on a transparent background; null when not valid.
    QImage render(QSize size) const;

  private:
    QByteArray data_;
    qsizetype firstRecord_ = 0;
    int objectCount_ = 0;
    QRect frame_;
    QSize natural_;
    bool valid_ = false;
};

} // namespace vorn
