// The text and hex core: decoding and re-encoding texts with their encoding and line ends, the
// read limit, and the lines of the hex dump.
#include "viewers/text_document.h"
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
    void editsKeepLineEnds();
    void unencodableFallsBackToUtf8();
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
    QCOMPARE(encode_document(doc.text, doc.format), bytes);

    // The same through a file.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.txt"));
    QVERIFY(write_text_document(path, doc.text, doc.format));
    TextDocument again;
    QVERIFY(read_text_document(path, &again));
    QCOMPARE(again.text, text);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), bytes);
}

void TstTextCore::editsKeepLineEnds()
{
    TextDocument doc = decode_document("a\rb\r");
    QCOMPARE(encode_document(doc.text + QStringLiteral("\nc"), doc.format), QByteArray("a\rb\rc\r"));
    doc = decode_document("x\r\ny\nz\r\n");
    QCOMPARE(encode_document(QStringLiteral("X\nY\nZ\nW"), doc.format), QByteArray("X\r\nY\nZ\r\nW\r\n"));
}

void TstTextCore::unencodableFallsBackToUtf8()
{
    const TextDocument doc = decode_document("caf\xE9");
    QVERIFY(!doc.format.utf8);
    // A character Windows-1252 has no byte for: the text is written as UTF-8, not lost.
    const QString edited = doc.text + QChar(0x4E2D);
    QCOMPARE(QString::fromUtf8(encode_document(edited, doc.format)), edited);
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
