// SVG drawings: rendered at the shown size over transparency, natural size from the document,
// and never a file read or a connection made on the drawing's behalf.
#include "codecs/picture_kinds.h"
#include "codecs/picture_loader.h"
#include "codecs/svg_decoder.h"

#include <QBuffer>
#include <QPainter>
#include <QSvgRenderer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <zlib.h>

using namespace vorn;

namespace
{

QByteArray svg(const QByteArray &body, const QByteArray &size = "width=\"40\" height=\"20\"",
               const QByteArray &prolog = {})
{
    return prolog +
           "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" " + size +
           ">" + body + "</svg>";
}

QByteArray redPng()
{
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    return bytes;
}

QByteArray gzip(const QByteArray &data)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))) + 32, 0);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

// How QSvgRenderer alone draws the bytes at 40 x 20 (to show a fixture would fetch something).
QImage rawRender(const QByteArray &bytes)
{
    QImage image(40, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(bytes);
    QPainter p(&image);
    renderer.render(&p, QRectF(0, 0, 40, 20));
    return image;
}

bool anyRed(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (QColor(image.pixel(x, y)).red() > 200 && qAlpha(image.pixel(x, y)) > 200)
                return true;
    return false;
}

} // namespace

class TstSvgDecoder : public QObject
{
    Q_OBJECT
  private slots:
    void renders_data();
    void renders();
    void compressed();
    void neverReadsAnotherFile_data();
    void neverReadsAnotherFile();
    void neverConnects();
    void refused_data();
    void refused();
};

void TstSvgDecoder::renders_data()
{
    QTest::addColumn<QByteArray>("svg");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<QSize>("size");
    const QByteArray halves = "<rect x=\"0\" y=\"0\" width=\"20\" height=\"20\" fill=\"#0000ff\"/>";
    QTest::newRow("natural size") << svg(halves) << QSize() << QSize(40, 20) << QSize(40, 20);
    QTest::newRow("shown larger") << svg(halves) << QSize(400, 200) << QSize(40, 20) << QSize(400, 200);
    QTest::newRow("shown smaller") << svg(halves) << QSize(8, 4) << QSize(40, 20) << QSize(8, 4);
    QTest::newRow("viewBox only") << svg(halves, "viewBox=\"0 0 40 20\"") << QSize() << QSize(40, 20)
                                  << QSize(40, 20);
    QTest::newRow("viewBox scaled to width")
        << svg(halves, "width=\"80\" height=\"40\" viewBox=\"0 0 40 20\"") << QSize() << QSize(80, 40)
        << QSize(80, 40);
    QTest::newRow("huge: bounded") << svg(halves, "width=\"1000000\" height=\"500000\" viewBox=\"0 0 40 20\"")
                                   << QSize(40, 20) << QSize(kMaxSvgSide, kMaxSvgSide / 2) << QSize(40, 20);
    QTest::newRow("use of a local element, url(#id) fill")
        << svg("<defs><linearGradient id=\"g\"><stop offset=\"0\" stop-color=\"#0000ff\"/>"
               "<stop offset=\"1\" stop-color=\"#0000ff\"/></linearGradient>"
               "<rect id=\"r\" width=\"20\" height=\"20\" fill=\"url(#g)\"/></defs><use xlink:href=\"#r\"/>")
        << QSize() << QSize(40, 20) << QSize(40, 20);
    QTest::newRow("internal entity") << svg("&half;", "width=\"40\" height=\"20\"",
                                            "<!DOCTYPE svg [<!ENTITY half '" + halves + "'>]>")
                                     << QSize() << QSize(40, 20) << QSize(40, 20);
}

void TstSvgDecoder::renders()
{
    QFETCH(QByteArray, svg);
    QFETCH(QSize, shown);
    QFETCH(QSize, natural);
    QFETCH(QSize, size);
    DecodeRequest request;
    request.shownSize = shown;
    const LoadedPicture p = decode_svg_picture(svg, request);
    QVERIFY(p.ok);
    QCOMPARE(p.naturalSize, natural);
    QCOMPARE(p.image.size(), size);
    // Left half blue, right half transparent (drawn over the view's background).
    QCOMPARE(p.image.pixelColor(size.width() / 4, size.height() / 2), QColor(Qt::blue));
    QCOMPARE(qAlpha(p.image.pixel(size.width() * 3 / 4, size.height() / 2)), 0);
    QVERIFY(p.image.hasAlphaChannel());
}

void TstSvgDecoder::compressed()
{
    const QByteArray plain = svg("<rect width=\"40\" height=\"20\" fill=\"#00ff00\"/>");
    const LoadedPicture p = decode_svg_picture(gzip(plain), DecodeRequest());
    QVERIFY(p.ok);
    QCOMPARE(p.image.pixelColor(5, 5), QColor(Qt::green));
    QCOMPARE(picture_kind("a.svgz"), PictureKind::Svg);
    // Inflating beyond the bound, or cut short: refused.
    const QByteArray bomb = gzip(svg("<!--" + QByteArray(kMaxSvgBytes + 1024, ' ') + "-->"));
    QVERIFY(bomb.size() < 1 << 20);
    QVERIFY(!decode_svg_picture(bomb, DecodeRequest()).ok);
    QVERIFY(!decode_svg_picture(gzip(plain).left(30), DecodeRequest()).ok);
}

void TstSvgDecoder::neverReadsAnotherFile_data()
{
    QTest::addColumn<QString>("body"); // %1: the PNG's path
    QTest::addColumn<bool>("qtReads"); // QSvgRenderer of this Qt reads that reference itself
    QTest::newRow("image, path") << "<image x=\"0\" y=\"0\" width=\"40\" height=\"20\" xlink:href=\"%1\"/>"
                                 << true;
    QTest::newRow("image, file url")
        << "<image x=\"0\" y=\"0\" width=\"40\" height=\"20\" xlink:href=\"file://%1\"/>" << false;
    QTest::newRow("image, plain href")
        << "<image x=\"0\" y=\"0\" width=\"40\" height=\"20\" href=\"%1\"/>" << false;
}

void TstSvgDecoder::neverReadsAnotherFile()
{
    QFETCH(QString, body);
    QFETCH(bool, qtReads);
    QTemporaryDir dir;
    const QString png = dir.filePath("side.png");
    QFile f(png);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(redPng()) > 0);
    f.close();
    const QByteArray bytes = svg(body.arg(png).toUtf8());
    // QSvgRenderer alone would draw the file next to it...
    if (qtReads)
        QVERIFY(anyRed(rawRender(bytes)));
    // ...the decoder shows nothing of it.
    const LoadedPicture p = decode_svg_picture(bytes, DecodeRequest());
    QVERIFY(p.ok);
    QVERIFY(!anyRed(p.image));
    QVERIFY(!self_contained_svg(bytes).contains("side.png"));
    // The same picture given inline is drawn.
    if (qtReads) {
        const QByteArray inline_ =
            svg(body.arg("data:image/png;base64," + QString::fromLatin1(redPng().toBase64())).toUtf8());
        QVERIFY(anyRed(decode_svg_picture(inline_, DecodeRequest()).image));
    }
}

void TstSvgDecoder::neverConnects()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QByteArray url = "http://127.0.0.1:" + QByteArray::number(server.serverPort());
    const QByteArray bytes = svg("<image width=\"40\" height=\"20\" xlink:href=\"" + url +
                                     "/a.png\"/>"
                                     "<style>@import url(" +
                                     url + "/s.css); rect { fill: url(" + url +
                                     "/g.svg#x) }</style>"
                                     "<rect width=\"10\" height=\"10\" fill=\"url(" +
                                     url +
                                     "/p.svg#p)\"/>"
                                     "<use xlink:href=\"" +
                                     url + "/u.svg#u\"/>&ext;",
                                 "width=\"40\" height=\"20\"",
                                 "<?xml-stylesheet href=\"" + url +
                                     "/x.css\"?><!DOCTYPE svg [<!ENTITY ext SYSTEM \"" + url + "/e.xml\">]>");
    const LoadedPicture p = decode_svg_picture(bytes, DecodeRequest());
    Q_UNUSED(p);
    const QByteArray rendered = self_contained_svg(bytes);
    QVERIFY(!rendered.contains("127.0.0.1"));
    // A connection made during the decode would be waiting in the backlog now.
    QVERIFY(!server.hasPendingConnections());
    QVERIFY(!server.waitForNewConnection(0));
}

void TstSvgDecoder::refused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not xml") << QByteArray("\x89PNG\r\n\x1a\n garbage");
    QTest::newRow("cut short") << svg("<rect width=\"4\" height=\"4\"/>").left(60);
    QTest::newRow("no size") << QByteArray(
        "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"4\"/></svg>");
    QTest::newRow("entity expansion bomb")
        << svg("&e4;", "width=\"4\" height=\"4\"",
               "<!DOCTYPE svg [<!ENTITY e0 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx'>"
               "<!ENTITY e1 '&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;'>"
               "<!ENTITY e2 '&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;'>"
               "<!ENTITY e3 '&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;'>"
               "<!ENTITY e4 '&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;'>]>");
}

void TstSvgDecoder::refused()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!decode_svg_picture(bytes, DecodeRequest()).ok);
}

QTEST_GUILESS_MAIN(TstSvgDecoder)
#include "tst_svg_decoder.moc"
