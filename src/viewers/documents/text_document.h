// The text of a file as the text editors show it: decoded from UTF-8, or Windows-1252 when the
// bytes are not valid UTF-8, with every line end (LF, CR LF, CR) shown as a line break; and
// written back in the encoding and with the line ends it came with: untouched characters and
// lines keep their bytes, each line keeps its own end through edits around it.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace vorn
{

enum class LineEnd : quint8 { None, Lf, CrLf, Cr };

// How a text was stored, so that saving it gives back the same bytes when nothing was edited.
struct TextFormat {
    bool utf8 = true;              // else Windows-1252
    bool bom = false;              // a UTF-8 byte order mark at the start
    LineEnd lineEnd = LineEnd::Lf; // the most frequent line end; new lines get it
    bool finalBreak = false;       // the last line had a line end
    // Only when the file mixes line ends: the end of each line as read (None for a last line
    // without one) and a hash of each line's text, by which edited texts find their lines.
    QList<LineEnd> ends;
    QList<size_t> lineHashes;
    // Characters an editor cannot hold inside a line (U+2029, U+FDD0, U+FDD1 split it) stand
    // in the text as these private-use characters, in this order; empty when the file has none.
    QString substitutes;
};

// Files larger than this are shown in the editor up to this size, read-only.
inline constexpr qint64 kTextEditorLimit = qint64(32) << 20;
// Lines longer than this are shown cut, read-only: one line of megabytes stalls any editor.
inline constexpr qsizetype kTextLineLimit = 20000;

struct TextDocument {
    QString text; // lines joined by '\n'
    TextFormat format;
    qint64 fileSize = 0;
    bool truncated = false; // only the first kTextEditorLimit bytes were read
    bool linesCut = false;  // lines longer than kTextLineLimit were cut for showing
};

// Decodes bytes into lines joined by '\n' and records their encoding and line ends.
TextDocument decode_document(const QByteArray &bytes);
// The bytes of `text` (lines joined by '\n') in `format`. False, with nothing in `out`, when
// the format's encoding (Windows-1252) cannot hold a character of the text. `written`, when
// given, receives the format of the bytes written, to compare later edits against.
bool encode_document(const QString &text, const TextFormat &format, QByteArray *out,
                     TextFormat *written = nullptr);
// The line end of each line of `lines` (the text split at '\n'): lines found unchanged in the
// text as read keep their end, changed lines the end of the line they replace, new lines the
// dominant end; the last line follows finalBreak.
QList<LineEnd> assign_line_ends(const QList<QStringView> &lines, const TextFormat &format);
// Cuts lines longer than `limit` characters (for showing only); true when one was cut.
bool cut_long_lines(QString *text, qsizetype limit = kTextLineLimit);

// Reads at most `limit` bytes of a file (cut back to a whole UTF-8 character). False, with the
// reason in `error`, when it cannot be read.
bool read_text_document(const QString &path, TextDocument *doc, QString *error = nullptr,
                        qint64 limit = kTextEditorLimit);

} // namespace vorn
