// Fills a plain-text editor with a large text in pieces: each turn of the event loop adds
// whole lines for a few milliseconds, so the window keeps answering while megabytes go in. The
// editor is read-only and keeps no undo steps meanwhile; afterwards it is unmodified.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QPlainTextEdit;

namespace vorn
{

class EditorFiller : public QObject
{
    Q_OBJECT
  public:
    explicit EditorFiller(QPlainTextEdit *editor, QObject *parent = nullptr);

    // Replaces the editor's text; `readOnly` is the editor's state once it is filled. A short
    // text goes in at once (done() before this returns).
    void fill(const QString &text, bool readOnly);
    // Stops filling; what is in the editor stays.
    void stop();
    bool isFilling() const { return filling_; }

    static constexpr int kSliceMs = 25;
    static constexpr qsizetype kPiece = 16384;

  signals:
    void done();

  private:
    void fillPiece();
    void finish();

    QPointer<QPlainTextEdit> editor_;
    QString pending_;
    qsizetype pos_ = 0;
    bool filling_ = false;
    bool readOnly_ = false;
    quint64 run_ = 0; // a stop or a new fill leaves the queued piece of the old one unused
};

} // namespace vorn
