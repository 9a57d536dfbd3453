// The text of a file as the text editors show it: decoded from UTF-8, or Windows-1252 when the
// bytes are not valid UTF-8, with every line end (LF, CR LF, CR) shown as a line break; and
// written back in the encoding and with the line ends it came with.
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
    QList<LineEnd> ends;           // the end of each line as read, only when the file mixes them
    bool finalBreak = false;       // the last line had a line end
};

// Files larger than this are shown in the editor up to this size, read-only.
inline constexpr qint64 kTextEditorLimit = qint64(32) << 20;

struct TextDocument {
    QString text; // lines joined by '\n'
    TextFormat format;
    qint64 fileSize = 0;
    bool truncated = false; // only the first kTextEditorLimit bytes were read
};

// Decodes bytes into lines joined by '\n' and records their encoding and line ends.
TextDocument decode_document(const QByteArray &bytes);
// The bytes of `text` (lines joined by '\n') in `format`. Characters that Windows-1252 cannot
// hold make the whole text UTF-8 instead, so nothing is lost.
QByteArray encode_document(const QString &text, const TextFormat &format);

// Reads at most `limit` bytes of a file (cut back to a whole UTF-8 character). False, with the
// reason in `error`, when it cannot be read.
bool read_text_document(const QString &path, TextDocument *doc, QString *error = nullptr,
                        qint64 limit = kTextEditorLimit);
// Writes the text through a temporary file renamed over `path`.
bool write_text_document(const QString &path, const QString &text, const TextFormat &format,
                         QString *error = nullptr);

} // namespace vorn
