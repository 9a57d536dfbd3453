#include "widgets/editor_filler.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

namespace vorn
{

EditorFiller::EditorFiller(QPlainTextEdit *editor, QObject *parent) : QObject(parent), editor_(editor) {}

void EditorFiller::fill(const QString &text, bool readOnly)
{
    stop();
    readOnly_ = readOnly;
    if (text.size() <= kPiece) {
        editor_->setPlainText(text);
        finish();
        return;
    }
    editor_->setReadOnly(true);
    editor_->setUndoRedoEnabled(false);
    editor_->clear();
    pending_ = text;
    pos_ = 0;
    filling_ = true;
    QTimer::singleShot(0, this, [this, run = run_] {
        if (run == run_)
            fillPiece();
    });
}

void EditorFiller::stop()
{
    ++run_;
    if (filling_ && editor_) {
        editor_->setUndoRedoEnabled(true);
        editor_->setReadOnly(readOnly_);
    }
    filling_ = false;
    pending_.clear();
    pos_ = 0;
}

void EditorFiller::fillPiece()
{
    if (!filling_ || !editor_)
        return;
    QElapsedTimer clock;
    clock.start();
    QTextCursor c(editor_->document());
    c.movePosition(QTextCursor::End);
    const qsizetype n = pending_.size();
    while (pos_ < n && clock.elapsed() < kSliceMs) {
        qsizetype end = qMin(n, pos_ + kPiece);
        // Whole lines where one ends in the piece, so no line is laid out twice.
        const qsizetype nl = pending_.lastIndexOf(QLatin1Char('\n'), end - 1);
        if (end < n && nl >= pos_)
            end = nl + 1;
        c.insertText(QStringView(pending_).mid(pos_, end - pos_).toString());
        pos_ = end;
    }
    if (pos_ < n) {
        QTimer::singleShot(0, this, [this, run = run_] {
            if (run == run_)
                fillPiece();
        });
        return;
    }
    finish();
}

void EditorFiller::finish()
{
    filling_ = false;
    pending_.clear();
    pos_ = 0;
    editor_->setUndoRedoEnabled(true);
    editor_->setReadOnly(readOnly_);
    editor_->moveCursor(QTextCursor::Start);
    editor_->document()->setModified(false);
    emit done();
}

} // namespace vorn
