// The grid text format: sizes, widths, cells with commas and line breaks, lenient numbers and
// refusal of damaged files.
#include "base/grid_text.h"
#include "base/text_file.h"
#include "support/test_support.h"

using namespace vorn;

class TstGridText : public QObject
{
    Q_OBJECT
  private slots:
    void lenientNumbers_data();
    void lenientNumbers();
    void roundTrip();
    void parse_data();
    void parse();
    void refuses_data();
    void refuses();
    void emptyFileKeepsGrid();
    void absurdSizeUsesNoMemory();
    void windows1252_data();
    void windows1252();
    void missingFile();
};

void TstGridText::lenientNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plus and blank") << " +12" << 12;
    QTest::newRow("hex") << "$1F" << 31;
    QTest::newRow("stops at letter") << "7x" << 7;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("negative") << "-3" << -3;
    QTest::newRow("saturates") << "99999999999999" << std::numeric_limits<int>::max();
    QTest::newRow("arabic digits are not digits") << QString::fromUtf8("\u0663") << 0;
}

void TstGridText::lenientNumbers()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(lenient_int(text), value);
}

void TstGridText::roundTrip()
{
    QTemporaryDir dir;
    StringGrid g(3, 2);
    g.setColWidth(0, 10);
    g.setColWidth(2, 77);
    g.setCell(0, 0, "jpg;gif");
    g.setCell(2, 0, "a,b,,c");
    g.setCell(1, 1, "line one\r\nline two");
    const QString path = dir.filePath("g.txt");
    QVERIFY(save_grid(path, g));
    const QByteArray bytes = test::readFile(path);
    QCOMPARE(bytes, QByteArray("3,2\r\ncw 0,10\r\ncw 1,64\r\ncw 2,77\r\n0,0,jpg;gif\r\n2,0,a,b,,c\r\n"
                               "1,1,line one\tline two\r\n")
                        .replace("\tline two", "\t\bline two"));
    StringGrid back;
    QCOMPARE(load_grid(path, back), GridLoadStatus::Ok);
    QCOMPARE(back, g);
}

void TstGridText::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("cell10"); // cell (1,0)
    QTest::addColumn<int>("width1");
    QTest::newRow("only size line") << QByteArray("14,1\r\n") << 14 << 1 << "" << 64;
    QTest::newRow("lf endings") << QByteArray("2,1\ncw 1,40\n1,0,x\n") << 2 << 1 << "x" << 40;
    QTest::newRow("cw beyond grid ignored")
        << QByteArray("2,1\r\ncw 5,99\r\ncw 1,7\r\n") << 2 << 1 << "" << 7;
    QTest::newRow("cell beyond grid ignored")
        << QByteArray("2,1\r\n1,5,far\r\n9,0,far\r\n1,0,near\r\n") << 2 << 1 << "near" << 64;
    QTest::newRow("lenient size line") << QByteArray(" +2x,$1\r\n1,0,v\r\n") << 2 << 1 << "v" << 64;
    QTest::newRow("tab and backspace") << QByteArray("2,1\r\n1,0,a\t\bb\r\n") << 2 << 1 << "a\r\nb" << 64;
    QTest::newRow("no text after y") << QByteArray("2,1\r\n1,0\r\n") << 2 << 1 << "" << 64;
}

void TstGridText::parse()
{
    QFETCH(QByteArray, text);
    StringGrid g;
    QCOMPARE(parse_grid_text(text, g), GridLoadStatus::Ok);
    QTEST(g.colCount(), "cols");
    QTEST(g.rowCount(), "rows");
    QTEST(g.cell(1, 0), "cell10");
    QTEST(g.colWidth(1), "width1");
}

void TstGridText::refuses_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("zero columns") << QByteArray("0,1\r\n");
    QTest::newRow("no rows") << QByteArray("14\r\n");
    QTest::newRow("garbage") << QByteArray("hello world\r\nfoo\r\n");
    QTest::newRow("binary") << QByteArray("2,1\r\n\0\x01\x02", 8);
    QTest::newRow("absurd") << QByteArray("100000000,100000000\r\n");
    QTest::newRow("negative") << QByteArray("-5,3\r\n");
}

void TstGridText::refuses()
{
    QFETCH(QByteArray, text);
    StringGrid g(2, 1);
    g.setCell(1, 0, "kept");
    QCOMPARE(parse_grid_text(text, g), GridLoadStatus::Corrupt);
}

void TstGridText::emptyFileKeepsGrid()
{
    // A 0-byte file (as older versions could leave) names no size: the grid keeps its own.
    StringGrid catalogs(2, 1);
    catalogs.setCell(0, 0, "kept");
    QCOMPARE(parse_grid_text(QByteArray(), catalogs), GridLoadStatus::Ok);
    QCOMPARE(catalogs.cell(0, 0), QString("kept"));
    StringGrid none;
    QCOMPARE(parse_grid_text(QByteArray(), none), GridLoadStatus::Corrupt);
}

void TstGridText::absurdSizeUsesNoMemory()
{
    // A size line within the per-dimension limits but far beyond what the file can fill.
    StringGrid g;
    QCOMPARE(parse_grid_text("60000,4000000\r\n", g), GridLoadStatus::Corrupt);
    QCOMPARE(g.colCount(), 0);
}

void TstGridText::windows1252_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("cells");
    const QString size = QString::fromUtf8("Größe €");
    const QByteArray cp1252 = "Gr\xf6\xdf\x65 \x80";
    QTest::newRow("all Windows-1252") << "2,1\r\n0,0," + cp1252 + "\r\n1,0,x\r\n" << QStringList{size, "x"};
    QTest::newRow("all UTF-8, with a byte order mark")
        << "\xef\xbb\xbf\x32,1\r\n0,0," + size.toUtf8() + "\r\n1,0,x\r\n"
        << QStringList{size, "x"};
    // Each line on its own: the UTF-8 cell is not read as Windows-1252 for the other's sake.
    QTest::newRow("mixed lines") << "2,1\r\n0,0," + cp1252 + "\n1,0," + size.toUtf8() + "\r\n"
                                 << QStringList{size, size};
}

void TstGridText::windows1252()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, cells);
    StringGrid g;
    QCOMPARE(parse_grid_text(bytes, g), GridLoadStatus::Ok);
    QCOMPARE((QStringList{g.cell(0, 0), g.cell(1, 0)}), cells);

    // Every text file reads the same way (vorn.cfg too).
    QTemporaryDir dir;
    test::writeFile(dir.filePath("vorn.cfg"), bytes);
    QStringList lines;
    QVERIFY(read_text_lines(dir.filePath("vorn.cfg"), &lines));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.first(), QString("2,1"));
    QCOMPARE(lines.mid(1), (QStringList{"0,0," + cells[0], "1,0," + cells[1]}));
}

void TstGridText::missingFile()
{
    StringGrid g;
    QCOMPARE(load_grid("/nonexistent/vorn.msk", g), GridLoadStatus::NotFound);
}

QTEST_GUILESS_MAIN(TstGridText)
#include "tst_gridtext.moc"
