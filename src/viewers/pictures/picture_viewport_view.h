// The view area of the picture view: the scroll box sb_1 (navy, no border) with a canvas that
// holds the still picture img_x, the animation img_g, the raised frame `shape` and, while the
// background tester runs, one painted background bgd_0 that repeats the picture as tiles.
#pragma once

#include "viewers/pictures/picture_geometry.h"

#include <QObject>
#include <QRect>
#include <QSize>

class QFrame;
class QImage;
class QScrollArea;
class QWidget;

namespace vorn
{

class ImageWidget;

class PictureViewport : public QObject
{
    Q_OBJECT
  public:
    // Creates sb_1 as a child of `panel`.
    PictureViewport(QWidget *panel, QObject *owner);

    QScrollArea *scrollArea() const { return sb_1_; }
    ImageWidget *still() const { return img_x_; }
    ImageWidget *animation() const { return img_g_; }
    ImageWidget *image(bool animated) const { return animated ? img_g_ : img_x_; }

    // Hides both picture controls, sets their size to 0 and drops their pictures.
    void clearPictures();
    // Hides both picture controls and the frame.
    void hidePictures();
    // Shows the control in use and hides the other.
    void showOnly(bool animated);

    // The layouts of the control in use; each returns the picture rectangle it gave it.
    // Centred in the client area of the emptied view (its previous scroll bars do not count).
    QRect centre(bool animated);
    // Best fit into the view's outer size (under best fit it has no scroll bars).
    QRect bestFit(bool animated, QSize natural);
    // At `size`, at (0, 0).
    QRect placeAt(bool animated, QSize size);

    // The scrolled area reaches as far as the shown picture; at least the visible area.
    void fitCanvas(bool animated);
    void scrollHome();
    void setBarsShown(bool on);

    // The frame on `rect`, in front; hidden with an invalid rect.
    void placeFrame(const QRect &rect);
    void hideFrame();
    bool frameShown() const;

    // The background tester: `tile` repeated from the top left over the whole view.
    void showBackground(const QImage &tile);
    // Grows the background with the view.
    void coverBackground();
    void removeBackground();
    bool hasBackground() const { return background_ != nullptr; }
    const TileGrid &tiles() const { return tiles_; }

  signals:
    // The view area changed its size.
    void resized();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QScrollArea *sb_1_ = nullptr;
    QWidget *canvas_ = nullptr;
    ImageWidget *img_x_ = nullptr;
    ImageWidget *img_g_ = nullptr;
    QFrame *shape_ = nullptr;
    ImageWidget *background_ = nullptr; // bgd_0, only while the tester runs
    TileGrid tiles_;
};

} // namespace vorn
