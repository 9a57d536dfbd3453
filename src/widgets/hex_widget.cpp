#include "widgets/hex_widget.h"

#include "base/native_names.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

#include <cerrno>
#include <limits>

namespace vorn
{

namespace
{
// The scroll bar counts in steps of `scale` lines once a file has more lines than this.
constexpr qint64 kMaxScrollSteps = qint64(1) << 30;
} // namespace

HexWidget::HexWidget(const QString &name, QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(name);
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSize(9);
    setFont(f);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    relayout();
}

HexWidget::~HexWidget()
{
    unmap();
}

void HexWidget::unmap()
{
    if (map_)
        file_.unmap(map_);
    map_ = nullptr;
    if (file_.isOpen())
        file_.close();
    buffer_.clear();
    data_ = nullptr;
    size_ = 0;
}

bool HexWidget::openFile(const QString &path, QString *error)
{
    unmap();
    path_ = path;
    bool ok = open_native(file_, path, QIODevice::ReadOnly);
    if (ok) {
        const qint64 size = file_.size();
        if (size > 0 && !file_.isSequential())
            map_ = file_.map(0, size);
        if (map_) {
            data_ = map_;
            size_ = size;
        } else {
            buffer_ = file_.read(kReadLimit);
            data_ = reinterpret_cast<const uchar *>(buffer_.constData());
            size_ = buffer_.size();
            file_.close();
        }
    } else if (error) {
        *error = qt_error_string(errno);
    }
    anchor_ = cursor_ = 0;
    top_ = 0;
    relayout();
    emit selectionChanged();
    return ok;
}

void HexWidget::setData(const QByteArray &bytes)
{
    unmap();
    path_.clear();
    buffer_ = bytes;
    data_ = reinterpret_cast<const uchar *>(buffer_.constData());
    size_ = buffer_.size();
    anchor_ = cursor_ = 0;
    top_ = 0;
    relayout();
    emit selectionChanged();
}

void HexWidget::clear()
{
    setData({});
}

void HexWidget::setBytesPerLine(int n)
{
    n = qBound(1, n, 256);
    if (n == layout_.bytesPerLine)
        return;
    // Keep the first shown byte in view.
    const qint64 first = top_ * layout_.bytesPerLine;
    layout_.bytesPerLine = n;
    top_ = first / n;
    relayout();
}

void HexWidget::setFontPointSize(int points)
{
    QFont f = font();
    f.setPointSize(qMax(1, points));
    setFont(f); // changeEvent lays out again
}

void HexWidget::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        relayout();
}

qint64 HexWidget::lineCount() const
{
    return (size_ + layout_.bytesPerLine - 1) / layout_.bytesPerLine;
}

int HexWidget::visibleLines() const
{
    return qMax(1, viewport()->height() / lineHeight_);
}

void HexWidget::relayout()
{
    layout_.offsetDigits = hex_offset_digits(size_);
    const QFontMetrics fm(font());
    charWidth_ = qMax(1, fm.horizontalAdvance(QLatin1Char('0')));
    lineHeight_ = qMax(1, fm.height());
    ascent_ = fm.ascent();
    syncScrollBar();
    viewport()->update();
}

void HexWidget::syncScrollBar()
{
    const qint64 lines = lineCount();
    const qint64 maxTop = qMax<qint64>(0, lines - visibleLines());
    scale_ = int(qMax<qint64>(1, (maxTop + kMaxScrollSteps - 1) / kMaxScrollSteps));
    top_ = qBound<qint64>(0, top_, maxTop);
    QScrollBar *v = verticalScrollBar();
    const QSignalBlocker block(v);
    v->setRange(0, int((maxTop + scale_ - 1) / scale_));
    v->setPageStep(qMax(1, visibleLines() / scale_));
    v->setSingleStep(1);
    v->setValue(int(top_ / scale_));
    QScrollBar *h = horizontalScrollBar();
    const int width = (layout_.lineColumns() + 1) * charWidth_;
    h->setRange(0, qMax(0, width - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(charWidth_);
}

void HexWidget::scrollToLine(qint64 line)
{
    top_ = line;
    syncScrollBar();
    viewport()->update();
}

void HexWidget::scrollContentsBy(int, int dy)
{
    if (dy != 0) {
        const qint64 maxTop = qMax<qint64>(0, lineCount() - visibleLines());
        const QScrollBar *v = verticalScrollBar();
        // The last step of a scaled bar reaches the very end.
        top_ = v->value() >= v->maximum() ? maxTop : qint64(v->value()) * scale_;
    }
    viewport()->update();
}

void HexWidget::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    syncScrollBar();
}

QString HexWidget::lineText(qint64 line) const
{
    QString s;
    const qint64 offset = line * layout_.bytesPerLine;
    if (line < 0 || offset >= size_)
        return s;
    const int count = int(qMin<qint64>(layout_.bytesPerLine, size_ - offset));
    format_hex_line(data_ + offset, count, offset, layout_, &s);
    return s;
}

void HexWidget::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    p.setFont(font());
    const QPalette &pal = palette();
    p.fillRect(viewport()->rect(), pal.color(QPalette::Base));
    const int x0 = 4 - horizontalScrollBar()->value();
    const int rows = visibleLines() + 1;
    const qint64 selA = selectionStart(), selB = selectionEnd();
    const QColor hl = pal.color(QPalette::Highlight);
    QColor hlSoft = hl;
    hlSoft.setAlpha(90);
    QString text;
    for (int r = 0; r < rows; ++r) {
        const qint64 line = top_ + r;
        const qint64 offset = line * layout_.bytesPerLine;
        if (offset >= size_)
            break;
        const int count = int(qMin<qint64>(layout_.bytesPerLine, size_ - offset));
        const int y = r * lineHeight_;
        if (selB > selA && selA < offset + count && selB > offset) {
            const int a = int(qMax(selA, offset) - offset);
            const int b = int(qMin(selB, offset + count) - offset); // exclusive
            const QRect hexRect(x0 + layout_.hexColumn(a) * charWidth_, y,
                                (layout_.hexColumn(b - 1) + 2 - layout_.hexColumn(a)) * charWidth_,
                                lineHeight_);
            const QRect ascRect(x0 + layout_.asciiColumn(a) * charWidth_, y, (b - a) * charWidth_,
                                lineHeight_);
            p.fillRect(asciiSide_ ? hexRect : ascRect, hlSoft);
            p.fillRect(asciiSide_ ? ascRect : hexRect, hl);
        }
        format_hex_line(data_ + offset, count, offset, layout_, &text);
        p.setPen(pal.color(QPalette::Text));
        p.drawText(x0, y + ascent_, text);
    }
    // The cursor byte while the widget has the focus.
    if (hasFocus() && size_ > 0) {
        const qint64 at = qMin(cursor_, size_ - 1);
        const qint64 line = at / layout_.bytesPerLine;
        if (line >= top_ && line < top_ + rows) {
            const int i = int(at % layout_.bytesPerLine);
            const int col = asciiSide_ ? layout_.asciiColumn(i) : layout_.hexColumn(i);
            p.setPen(pal.color(QPalette::Text));
            p.drawRect(x0 + col * charWidth_, int(line - top_) * lineHeight_,
                       (asciiSide_ ? 1 : 2) * charWidth_ - 1, lineHeight_ - 1);
        }
    }
}

qint64 HexWidget::byteAt(const QPoint &pos, bool *ascii) const
{
    const int col = (pos.x() - 4 + horizontalScrollBar()->value()) / qMax(1, charWidth_);
    const qint64 line = top_ + qMax(0, pos.y()) / lineHeight_;
    int i = 0;
    *ascii = col >= layout_.asciiColumn(0) - 1;
    if (*ascii) {
        i = col - layout_.asciiColumn(0);
    } else {
        // Find the byte whose two digits (and the blank after a group) lie under the column.
        const int rel = col - layout_.hexColumn(0);
        i = rel < 0 ? 0 : (rel * 2) / 5;
        while (i + 1 < layout_.bytesPerLine && layout_.hexColumn(i + 1) <= col)
            ++i;
    }
    i = qBound(0, i, layout_.bytesPerLine - 1);
    return qBound<qint64>(0, line * layout_.bytesPerLine + i, qMax<qint64>(0, size_ - 1));
}

void HexWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || size_ == 0)
        return QAbstractScrollArea::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    bool ascii = false;
    const qint64 b = byteAt(event->position().toPoint(), &ascii);
    asciiSide_ = ascii;
    selecting_ = true;
    if (event->modifiers() & Qt::ShiftModifier) {
        // Shift+click: from the anchor to the byte clicked, that byte included.
        moveCursor(b >= anchor_ ? b + 1 : b, true);
        return;
    }
    pressed_ = b;
    moveCursor(b, false);
}

void HexWidget::dragTo(qint64 byte)
{
    if (byte >= pressed_) {
        anchor_ = pressed_;
        moveCursor(byte + 1, true);
    } else {
        anchor_ = pressed_ + 1;
        moveCursor(byte, true);
    }
}

void HexWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (!selecting_ || !(event->buttons() & Qt::LeftButton))
        return;
    QPoint pos = event->position().toPoint();
    if (pos.y() < 0)
        scrollToLine(top_ - 1);
    else if (pos.y() > viewport()->height())
        scrollToLine(top_ + 1);
    bool ascii = false;
    dragTo(byteAt(pos, &ascii));
}

void HexWidget::moveCursor(qint64 to, bool extend)
{
    to = qBound<qint64>(0, to, size_);
    if (!extend)
        anchor_ = to;
    cursor_ = to;
    ensureVisible(to);
    viewport()->update();
    emit selectionChanged();
}

void HexWidget::ensureVisible(qint64 byte)
{
    const qint64 line = byte / layout_.bytesPerLine;
    if (line < top_)
        scrollToLine(line);
    else if (line >= top_ + visibleLines())
        scrollToLine(line - visibleLines() + 1);
}

void HexWidget::setSelection(qint64 start, qint64 end)
{
    start = qBound<qint64>(0, start, size_);
    end = qBound<qint64>(start, end, size_);
    anchor_ = start;
    cursor_ = end;
    viewport()->update();
    emit selectionChanged();
}

void HexWidget::selectAll()
{
    setSelection(0, size_);
}

QByteArray HexWidget::selectedBytes() const
{
    const qint64 a = selectionStart();
    const qint64 n = qMin(selectionEnd() - a, kCopyLimit);
    return n > 0 ? QByteArray(reinterpret_cast<const char *>(data_ + a), n) : QByteArray();
}

bool HexWidget::copySelection()
{
    if (!hasSelection() || selectionEnd() - selectionStart() > kCopyLimit)
        return false;
    const QByteArray bytes = selectedBytes();
    QString text;
    if (asciiSide_) {
        text.reserve(bytes.size());
        for (char c : bytes)
            text.append(QLatin1Char(c >= 0x20 && c < 0x7F ? c : '.'));
    } else {
        text = QString::fromLatin1(bytes.toHex(' '));
    }
    auto *mime = new QMimeData;
    mime->setText(text);
    mime->setData(QStringLiteral("application/octet-stream"), bytes);
    QApplication::clipboard()->setMimeData(mime);
    return true;
}

void HexWidget::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        if (!copySelection() && hasSelection())
            emit copyRefused();
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const qint64 bpl = layout_.bytesPerLine;
    const qint64 page = qint64(visibleLines()) * bpl;
    qint64 to = cursor_;
    switch (event->key()) {
    case Qt::Key_Left:
        to -= 1;
        break;
    case Qt::Key_Right:
        to += 1;
        break;
    case Qt::Key_Up:
        to -= bpl;
        break;
    case Qt::Key_Down:
        to += bpl;
        break;
    case Qt::Key_PageUp:
        to -= page;
        break;
    case Qt::Key_PageDown:
        to += page;
        break;
    case Qt::Key_Home:
        to = ctrl ? 0 : cursor_ - cursor_ % bpl;
        break;
    case Qt::Key_End:
        // The end of the file, or of the line: with Shift its last byte is taken in.
        to = ctrl ? size_ : cursor_ - cursor_ % bpl + bpl - (shift ? 0 : 1);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (to < 0)
        to = event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp ? cursor_ % bpl : 0;
    moveCursor(to, shift);
}

} // namespace vorn
