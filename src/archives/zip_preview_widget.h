// The preview area pn_zipout under the archive window: one small viewer of each kind, all
// hidden until one shows an extracted entry (text, picture, GIF, HTML, hex, video panel).
#pragma once

#include "archives/zip_browser.h"

#include <QFrame>

class QLabel;
class QMovie;
class QPlainTextEdit;
class QStackedLayout;
class QTextBrowser;

namespace vorn
{

class ZipPreviewWidget : public QFrame
{
    Q_OBJECT
  public:
    explicit ZipPreviewWidget(QWidget *parent = nullptr);

    // Hides and empties every viewer.
    void clear();
    // Shows the file in the viewer of its kind; false when it cannot be read.
    bool show(const QString &path, ZipPreviewKind kind, bool htmlSource, const QString &videoNote);
    // The text preview holds text, or the HTML preview has a selection.
    bool canCopy() const;
    // Copies the selection of whichever text viewer has the focus (else the shown one).
    void copySelection();

  signals:
    void copyStateChanged();

  private:
    void bringUp(QWidget *w);

    QStackedLayout *stack_ = nullptr;
    QWidget *blank_ = nullptr;
    QPlainTextEdit *zipmemo_ = nullptr;
    QLabel *zipimage_ = nullptr;
    QLabel *zipgif_ = nullptr;
    QMovie *movie_ = nullptr;
    QTextBrowser *ziphtml_ = nullptr;
    QPlainTextEdit *ziphex_ = nullptr;
    QFrame *pn_zipmovie_ = nullptr;
    QLabel *movieNote_ = nullptr;
};

// The hex lines of the bytes: hexadecimal offset, 24 bytes a line in columns of two bytes.
QString zip_hex_text(const QByteArray &bytes);

} // namespace vorn
