// The text and hex core: decoding and re-encoding texts with their encoding and line ends, the
// read limit, and the lines of the hex dump.
#include "base/text_file.h"
#include "viewers/documents/text_document.h"
#include "widgets/hex_format.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace vorn;

class TstTextCore : public QObject
{
    Q_OBJECT
  private slots:
    void roundTrip_data();
    void roundTrip();
    void lineEndsStayWithTheirLines_data();
    void lineEndsStayWithTheirLines();
    void rewrittenTextMatchedByPosition();
    void unencodableRefused();
    void editorSplittersSurvive();
    void longLinesCut();
    void readLimit();
    void hexLine_data();
    void hexLine();
    void offsetDigits();
};

void TstTextCore::roundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<int>("lineEnd");
    QTest::newRow("empty") << QByteArray() << QString() << true << int(LineEnd::Lf);
    QTest::newRow("LF, final break") << QByteArray("a\nb\n") << QStringLiteral("a\nb") << true
                                     << int(LineEnd::Lf);
    QTest::newRow("CR LF, no final break")
        << QByteArray("a\r\nb") << QStringLiteral("a\nb") << true << int(LineEnd::CrLf);
    QTest::newRow("CR only") << QByteArray("one\rtwo\r\rfour\r") << QStringLiteral("one\ntwo\n\nfour") << true
                             << int(LineEnd::Cr);
    QTest::newRow("mixed ends") << QByteArray("a\r\nb\nc\rd\r\n") << QStringLiteral("a\nb\nc\nd") << true
                                << int(LineEnd::CrLf);
    QTest::newRow("only a break") << QByteArray("\r\n") << QString() << true << int(LineEnd::CrLf);
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF\xC3\xA4\n") << QStringLiteral("ä") << true
                                    << int(LineEnd::Lf);
    // 0x80 euro, 0xE4 a-umlaut, 0x81 undefined: all come back as they were.
    QTest::newRow("Windows-1252") << QByteArray("\x80 \xE4\x81\r\nx\r\n")
                                  << QString::fromUtf8("\xE2\x82\xAC \xC3\xA4\xC2\x81\nx") << false
                                  << int(LineEnd::CrLf);
    QTest::newRow("lone CR at the end")
        << QByteArray("a\r") << QStringLiteral("a") << true << int(LineEnd::Cr);
    // A second byte order mark is a character of the text and stays.
    QTest::newRow("two UTF-8 BOMs") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\xC3\xA4\n")
                                    << QString(QChar(0xFEFF)) + QChar(0xE4) << true << int(LineEnd::Lf);
    QTest::newRow("no-break space and U+2028") << QByteArray("a\xC2\xA0"
                                                             "b\xE2\x80\xA8"
                                                             "c\r\n")
                                               << QString::fromUtf8("a\xC2\xA0"
                                                                    "b\xE2\x80\xA8"
                                                                    "c")
                                               << true << int(LineEnd::CrLf);
    QTest::newRow("Windows-1252 no-break space")
        << QByteArray("x\xA0y\n") << QString::fromUtf8("x\xC2\xA0y") << false << int(LineEnd::Lf);
}

void TstTextCore::roundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, utf8);
    QFETCH(int, lineEnd);
    const TextDocument doc = decode_document(bytes);
    QCOMPARE(doc.text, text);
    QCOMPARE(doc.format.utf8, utf8);
    if (!text.isEmpty())
        QCOMPARE(int(doc.format.lineEnd), lineEnd);
    QByteArray out;
    QVERIFY(encode_document(doc.text, doc.format, &out));
    QCOMPARE(out, bytes);

    // The same through a file.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.txt"));
    QVERIFY(write_file_atomic(path, out));
    TextDocument again;
    QVERIFY(read_text_document(path, &again));
    QCOMPARE(again.text, text);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), bytes);
}

void TstTextCore::lineEndsStayWithTheirLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("edited");
    QTest::addColumn<QByteArray>("saved");
    // Each line keeps its own end; a new line gets the dominant one (LF here).
    QTest::newRow("line inserted at the top")
        << QByteArray("a\nb\r\nc\rd\n") << QStringLiteral("z\na\nb\nc\nd") << QByteArray("z\na\nb\r\nc\rd\n");
    QTest::newRow("line inserted in the middle")
        << QByteArray("a\nb\r\nc\rd\n") << QStringLiteral("a\nb\nnew\nc\nd")
        << QByteArray("a\nb\r\nnew\nc\rd\n");
    QTest::newRow("line removed") << QByteArray("a\nb\r\nc\rd\n") << QStringLiteral("a\nc\nd")
                                  << QByteArray("a\nc\rd\n");
    QTest::newRow("line changed keeps its end")
        << QByteArray("a\nb\r\nc\rd\n") << QStringLiteral("a\nB!\nc\nd") << QByteArray("a\nB!\r\nc\rd\n");
    // Enter inside a line: the end stays with the line's end.
    QTest::newRow("line split") << QByteArray("ab\r\nc\nd\n") << QStringLiteral("a\nb\nc\nd")
                                << QByteArray("a\nb\r\nc\nd\n");
    QTest::newRow("lines joined") << QByteArray("a\nb\r\nc\rd\n") << QStringLiteral("ab\nc\nd")
                                  << QByteArray("ab\r\nc\rd\n");
    QTest::newRow("appended after a last line without end")
        << QByteArray("x\r\ny\nz") << QStringLiteral("x\ny\nz\nw") << QByteArray("x\r\ny\nz\nw");
    QTest::newRow("uniform CR, line added")
        << QByteArray("a\rb\r") << QStringLiteral("a\nb\nc") << QByteArray("a\rb\rc\r");
    QTest::newRow("uniform CR LF, all replaced")
        << QByteArray("x\r\ny\nz\r\n") << QStringLiteral("X\nY\nZ\nW") << QByteArray("X\r\nY\nZ\r\nW\r\n");
}

void TstTextCore::lineEndsStayWithTheirLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, edited);
    QFETCH(QByteArray, saved);
    const TextDocument doc = decode_document(bytes);
    QByteArray out;
    TextFormat written;
    QVERIFY(encode_document(edited, doc.format, &out, &written));
    QCOMPARE(out, saved);
    // The format as written is the base of the next save: unchanged, the same bytes again.
    QByteArray again;
    QVERIFY(encode_document(edited, written, &again));
    QCOMPARE(again, saved);
    QCOMPARE(decode_document(out).text, edited);
}

void TstTextCore::rewrittenTextMatchedByPosition()
{
    // More changes than the matcher's budget: the ends follow the line positions, none is lost.
    QByteArray bytes;
    QString edited;
    for (int i = 0; i < 30000; ++i) {
        bytes += QByteArray::number(i) + (i % 2 ? "\r\n" : "\n");
        edited += QStringLiteral("n") + QString::number(i) + QLatin1Char('\n');
    }
    edited.chop(1);
    const TextDocument doc = decode_document(bytes);
    QByteArray out;
    QVERIFY(encode_document(edited, doc.format, &out));
    QCOMPARE(out.count("\r\n"), 15000);
    QVERIFY(out.startsWith("n0\nn1\r\nn2\n"));
}

void TstTextCore::unencodableRefused()
{
    const TextDocument doc = decode_document("caf\xE9");
    QVERIFY(!doc.format.utf8);
    // A character Windows-1252 has no byte for: nothing is encoded; the caller asks the user.
    QByteArray out("left over");
    QVERIFY(!encode_document(doc.text + QChar(0x4E2D), doc.format, &out));
    QVERIFY(out.isEmpty());
    TextFormat utf8 = doc.format;
    utf8.utf8 = true;
    QVERIFY(encode_document(doc.text + QChar(0x4E2D), utf8, &out));
    QCOMPARE(out, QByteArray("caf\xC3\xA9\xE4\xB8\xAD"));
}

void TstTextCore::editorSplittersSurvive()
{
    // U+2029 and the frame marks split an editor's line: they stand in the text as private-use
    // characters the file does not hold, and come back on saving.
    const QByteArray bytes("a\xE2\x80\xA9"
                           "b\xEE\x80\x80\xEF\xB7\x90\n");
    const TextDocument doc = decode_document(bytes);
    for (QChar c : doc.text)
        QVERIFY(c.unicode() != 0x2029 && c.unicode() != 0xFDD0);
    QCOMPARE(doc.format.substitutes.size(), 3);
    QVERIFY(!doc.format.substitutes.contains(QChar(0xE000))); // held by the file itself
    QByteArray out;
    QVERIFY(encode_document(doc.text, doc.format, &out));
    QCOMPARE(out, bytes);
}

void TstTextCore::longLinesCut()
{
    QString text = QStringLiteral("short\n") + QString(50, QLatin1Char('x')) + QStringLiteral("\nend");
    QVERIFY(cut_long_lines(&text, 10));
    QCOMPARE(text, QStringLiteral("short\nxxxxxxxxxx\u2026\nend"));
    QString fine = QStringLiteral("a\nb");
    QVERIFY(!cut_long_lines(&fine, 10));
    QCOMPARE(fine, QStringLiteral("a\nb"));
}

void TstTextCore::readLimit()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("ab\xC3\xA4xyz"); // the limit of 3 cuts the two-byte character
    f.close();
    TextDocument doc;
    QVERIFY(read_text_document(path, &doc, nullptr, 3));
    QVERIFY(doc.truncated);
    QVERIFY(doc.format.utf8);
    QCOMPARE(doc.text, QStringLiteral("ab"));
    QCOMPARE(doc.fileSize, qint64(7));
    QString error;
    QVERIFY(!read_text_document(dir.filePath(QStringLiteral("missing")), &doc, &error));
    QVERIFY(!error.isEmpty());
}

void TstTextCore::hexLine_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<int>("perLine");
    QTest::addColumn<QString>("line");
    // As xxd prints them.
    QTest::newRow("full line") << QByteArray("Hello, world!\n\x00\xff", 16) << qint64(0) << 16
                               << QStringLiteral(
                                      "00000000: 4865 6c6c 6f2c 2077 6f72 6c64 210a 00ff  Hello, world!...");
    QTest::newRow("short last line") << QByteArray("abc") << qint64(0xfffffff0) << 16
                                     << QStringLiteral("fffffff0: 6162 63") + QString(34, QLatin1Char(' ')) +
                                            QStringLiteral("abc");
    QTest::newRow("four per line") << QByteArray("\x01\x02\x03\x04", 4) << qint64(8) << 4
                                   << QStringLiteral("00000008: 0102 0304  ....");
    QTest::newRow("odd count") << QByteArray("ABCDE") << qint64(16) << 6
                               << QStringLiteral("00000010: 4142 4344 45    ABCDE");
}

void TstTextCore::hexLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, offset);
    QFETCH(int, perLine);
    QFETCH(QString, line);
    HexLayout layout;
    layout.bytesPerLine = perLine;
    QString out = QStringLiteral("left over from before, longer than any line of the dump");
    format_hex_line(reinterpret_cast<const unsigned char *>(bytes.constData()), int(bytes.size()), offset,
                    layout, &out);
    QCOMPARE(out, line);
}

void TstTextCore::offsetDigits()
{
    QCOMPARE(hex_offset_digits(0), 8);
    QCOMPARE(hex_offset_digits(qint64(1) << 32), 8);
    QCOMPARE(hex_offset_digits((qint64(1) << 32) + 1), 9);
}

QTEST_GUILESS_MAIN(TstTextCore)
#include "tst_text_core.moc"
