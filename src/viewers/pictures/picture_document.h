// The state of the picture view apart from its widgets: which file is shown, its kind, its
// natural size, the zoom factor, the picture rectangle and the view's flags.
#pragma once

#include "codecs/picture_loader.h"

#include <QRect>
#include <QSize>
#include <QString>

namespace vorn
{

struct PictureDocument {
    QString path; // empty when no picture is shown
    PictureKind kind = PictureKind::Unknown;
    QSize natural; // pixels at 100 %
    bool animated = false;
    bool transparent = false;
    int factor = 1; // the zoom factor, 1 to 15
    QRect picRect;  // the picture as last laid out; the frame is placed on it
    bool shown = false;
    bool frameOff = false;         // bt_shape is down
    bool backgroundActive = false; // the background tester covers the view
    bool coarse = false;           // shown from a coarse first look, until the sharp one comes

    // Takes `file` as the current file: its kind, and whether it may animate or is drawn
    // transparently (by the kind table).
    void setFile(const QString &file);
    // No file any more.
    void forget();
    // The frame shows around a shown picture unless it is switched off or a background covers
    // the view.
    bool frameVisible() const { return shown && !frameOff && !backgroundActive; }
    // A still picture shown at `shownSize` but decoded at `decoded` is worth decoding again at
    // the shown size: drawings and metafiles always, kinds with a reduced decode under best fit,
    // and a coarse first look even at its shown size.
    bool wantsSharperDecode(QSize shownSize, QSize decoded, bool bestFit) const;
};

} // namespace vorn
