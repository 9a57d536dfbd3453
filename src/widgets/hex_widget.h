// A read-only hex view of a file: the file is mapped into memory, not loaded, so a file of
// several gigabytes opens at once and only the lines on screen are ever read. Offsets, byte
// pairs and an ASCII column; bytes per line and font size settable; a byte selection made
// with the mouse or the keyboard that copies to the clipboard.
#pragma once

#include "widgets/hex_format.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QFile>

namespace vorn
{

class HexWidget : public QAbstractScrollArea
{
    Q_OBJECT
  public:
    explicit HexWidget(const QString &name, QWidget *parent = nullptr);
    ~HexWidget() override;

    // Maps the file; false with the reason in `error` when it cannot be opened. Files that
    // cannot be mapped (pipes, special files) are read up to kReadLimit bytes instead.
    bool openFile(const QString &path, QString *error = nullptr);
    // Shows the given bytes (an entry of an archive, a test).
    void setData(const QByteArray &bytes);
    void clear();
    QString fileName() const { return path_; }
    qint64 size() const { return size_; }

    int bytesPerLine() const { return layout_.bytesPerLine; }
    void setBytesPerLine(int n);
    // The font size in points of the fixed font.
    int fontPointSize() const { return font().pointSize(); }
    void setFontPointSize(int points);

    qint64 lineCount() const;
    qint64 topLine() const { return top_; }
    void scrollToLine(qint64 line);
    int visibleLines() const;
    // The text of a line as it is painted ("0000fff0: 0000 ...  ....").
    QString lineText(qint64 line) const;

    // The selection as a half-open byte range between the anchor and the cursor, both places
    // between bytes (0 to size); empty when they meet.
    qint64 selectionStart() const { return qMin(anchor_, cursor_); }
    qint64 selectionEnd() const { return qMax(anchor_, cursor_); }
    bool hasSelection() const { return selectionEnd() > selectionStart(); }
    void setSelection(qint64 start, qint64 end);
    void selectAll();
    // The selected bytes (at most kCopyLimit).
    QByteArray selectedBytes() const;
    // Puts the selection on the clipboard: the bytes as hex pairs when the hex column was
    // used, as text when the ASCII column was; the raw bytes too. False when nothing is
    // selected or the selection is larger than kCopyLimit.
    bool copySelection();

    static constexpr qint64 kReadLimit = qint64(64) << 20;
    static constexpr qint64 kCopyLimit = qint64(16) << 20;

  signals:
    void selectionChanged();
    // Ctrl+C with a selection larger than kCopyLimit: nothing was copied.
    void copyRefused();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent *event) override;

  private:
    void unmap();
    void relayout();
    void syncScrollBar();
    qint64 byteAt(const QPoint &pos, bool *ascii) const;
    void moveCursor(qint64 to, bool extend);
    // Selects from the byte pressed on to `byte`, both included.
    void dragTo(qint64 byte);
    void ensureVisible(qint64 byte);

    QString path_;
    QFile file_;
    uchar *map_ = nullptr;
    QByteArray buffer_; // the bytes when nothing is mapped
    const uchar *data_ = nullptr;
    qint64 size_ = 0;
    HexLayout layout_;
    qint64 top_ = 0; // first line shown
    int scale_ = 1;  // lines per scroll bar step, for files with more lines than an int holds
    int charWidth_ = 8;
    int lineHeight_ = 14;
    int ascent_ = 11;
    qint64 anchor_ = 0;  // where the selection started, a place between bytes
    qint64 cursor_ = 0;  // the place the keys move; the byte after it is framed
    qint64 pressed_ = 0; // the byte the mouse went down on
    bool selecting_ = false;
    bool asciiSide_ = false;
};

} // namespace vorn
