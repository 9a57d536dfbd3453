// Reading and writing the program's small text files: UTF-8, or Windows-1252 for lines made
// by the Windows program; CR LF on write, CR LF or LF on read; rewrites are atomic.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace vorn
{

// UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252.
QString decode_text(QByteArrayView bytes);
// Splits at CR LF or LF (a final line ending does not start another line) and decodes each
// line on its own: a line that is valid UTF-8 is UTF-8, any other Windows-1252, so a file
// edited on both systems keeps every line readable.
QStringList decode_lines(const QByteArray &bytes);
// Lines of a file; false when it cannot be opened.
bool read_text_lines(const QString &path, QStringList *lines);
// The one way the program rewrites a file: the bytes go to a temporary file beside `path`,
// which is synced and renamed over `path`, then the folder is synced, so a crash leaves the old
// or the new file. On failure `error` holds the reason.
bool write_file_atomic(const QString &path, const QByteArray &bytes, QString *error = nullptr);
// Writes the lines, each ended by CR LF, to a temporary file beside `path` and renames it over
// `path`, so a crash leaves the old or the new file. On failure `error` holds the reason.
bool write_text_lines(const QString &path, const QStringList &lines, QString *error = nullptr);

// Reads a number the lenient way of the grid files: blanks skipped, a sign accepted, "$" for
// hexadecimal, stops at the first other character; empty is 0. Saturates at the int range.
int lenient_int(QStringView s);

} // namespace vorn
