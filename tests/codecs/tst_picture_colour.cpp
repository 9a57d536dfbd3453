// Colour: ICC profiles (matrix ones through QColorSpace, lookup tables, gray and CMYK through
// LittleCMS), coded primaries and transfer (SDR and HDR) and the JPEG decoder's APP2 profiles.
#include "codecs/picture_colour.h"
#include "codecs/picture_loader.h"
#include "support/colour_fixtures.h"

#include <QColorSpace>
#include <QtTest>

using namespace vorn;
using namespace vorn::test;

namespace
{

// Each channel (and alpha) within `tolerance`.
bool near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

QByteArray text(QColor c)
{
    return QStringLiteral("(%1, %2, %3, %4)")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(c.alpha())
        .toLatin1();
}

} // namespace

class TstPictureColour : public QObject
{
    Q_OBJECT
  private slots:
    void iccProfiles_data();
    void iccProfiles();
    void grayProfile();
    void cicp_data();
    void cicp();
    void cmykRows();
    void jpegProfiles_data();
    void jpegProfiles();
};

void TstPictureColour::iccProfiles_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("icc");
    QTest::addColumn<QColor>("in");
    QTest::addColumn<QColor>("expected");
    const QColor c(200, 120, 60);
    const QColor p3 = displayP3InSrgb(c);
    const QColor swapped(60, 120, 200);
    const int rgb32 = QImage::Format_RGB32, argb = QImage::Format_ARGB32, rgba64 = QImage::Format_RGBA64;
    QTest::newRow("display p3 (matrix)") << rgb32 << displayP3Profile() << c << p3;
    QTest::newRow("display p3, alpha kept") << argb << displayP3Profile() << QColor(200, 120, 60, 128)
                                            << QColor(p3.red(), p3.green(), p3.blue(), 128);
    QTest::newRow("display p3, 16 bit") << rgba64 << displayP3Profile() << c << p3;
    QTest::newRow("lookup table (lcms)") << rgb32 << channelSwapProfile(false) << c << swapped;
    QTest::newRow("lookup table, 16 bit") << rgba64 << channelSwapProfile(false) << c << swapped;
    QTest::newRow("lookup table, alpha kept")
        << argb << channelSwapProfile(false) << QColor(200, 120, 60, 77) << QColor(60, 120, 200, 77);
    QTest::newRow("srgb: unchanged") << rgb32 << QColorSpace(QColorSpace::SRgb).iccProfile() << c << c;
    QTest::newRow("empty: unchanged") << rgb32 << QByteArray() << c << c;
    QTest::newRow("garbage: unchanged") << rgb32 << QByteArray(600, 'x') << c << c;
    QTest::newRow("cut short: unchanged") << rgb32 << displayP3Profile().left(200) << c << c;
    QTest::newRow("cmyk profile on rgb: unchanged") << rgb32 << channelSwapProfile(true) << c << c;
}

void TstPictureColour::iccProfiles()
{
    QFETCH(int, format);
    QFETCH(QByteArray, icc);
    QFETCH(QColor, in);
    QFETCH(QColor, expected);
    QImage image(7, 5, QImage::Format(format));
    image.fill(in);
    convert_icc_to_srgb(&image, icc);
    QCOMPARE(image.format(), QImage::Format(format));
    QCOMPARE(image.size(), QSize(7, 5));
    const QColor got = image.pixelColor(6, 4);
    QVERIFY2(near(got, expected, 2), text(got) + " expected " + text(expected));
    QCOMPARE(image.pixelColor(0, 0), got);
}

void TstPictureColour::grayProfile()
{
    // Linear gray 128 is sRGB 188, from a gray picture and from one a decoder gave as RGB.
    QImage gray(3, 3, QImage::Format_Grayscale8);
    gray.fill(QColor(128, 128, 128));
    QImage rgb(3, 3, QImage::Format_RGB32);
    rgb.fill(QColor(128, 128, 128));
    for (QImage *image : {&gray, &rgb}) {
        convert_icc_to_srgb(image, linearGrayProfile());
        QCOMPARE(image->format(), QImage::Format_RGB32);
        QVERIFY2(near(image->pixelColor(2, 2), QColor(188, 188, 188), 1), text(image->pixelColor(2, 2)));
    }
}

void TstPictureColour::cicp_data()
{
    QTest::addColumn<int>("primaries");
    QTest::addColumn<int>("transfer");
    QTest::addColumn<QRgba64>("in");
    QTest::addColumn<QColor>("expected");
    auto c16 = [](double r, double g, double b) {
        return QRgba64::fromRgba64(quint16(std::lround(r * 65535)), quint16(std::lround(g * 65535)),
                                   quint16(std::lround(b * 65535)), 65535);
    };
    const QRgba64 c = QRgba64::fromRgba(200, 120, 60, 255);
    QTest::newRow("bt709") << 1 << 1 << c << QColor(200, 120, 60);
    QTest::newRow("srgb") << 1 << 13 << c << QColor(200, 120, 60);
    QTest::newRow("unspecified") << 2 << 2 << c << QColor(200, 120, 60);
    QTest::newRow("unknown codes") << 99 << 99 << c << QColor(200, 120, 60);
    QTest::newRow("display p3") << 12 << 13 << c << displayP3InSrgb(QColor(200, 120, 60));
    QTest::newRow("bt709 linear") << 1 << 8 << c16(0.5, 0.5, 0.5) << QColor(188, 188, 188);
    // HDR: diffuse white (203 cd/m², PQ 0.5806; HLG 0.75) shows nearly white, black stays
    // black, the brightest PQ white is white and is not darker than diffuse white.
    QTest::newRow("pq diffuse white") << 9 << 16 << c16(0.5806, 0.5806, 0.5806) << QColor(247, 247, 247);
    QTest::newRow("pq black") << 9 << 16 << c16(0, 0, 0) << QColor(0, 0, 0);
    QTest::newRow("pq peak") << 9 << 16 << c16(1, 1, 1) << QColor(255, 255, 255);
    QTest::newRow("hlg diffuse white") << 9 << 18 << c16(0.75, 0.75, 0.75) << QColor(247, 247, 247);
    // BT.2020 green at diffuse white lies outside sRGB: no red or blue is made up.
    QTest::newRow("pq bt2020 green") << 9 << 16 << c16(0, 0.5806, 0) << QColor(0, 251, 0);
}

void TstPictureColour::cicp()
{
    QFETCH(int, primaries);
    QFETCH(int, transfer);
    QFETCH(QRgba64, in);
    QFETCH(QColor, expected);
    QImage image(4, 3, QImage::Format_RGBX64);
    image.fill(QColor::fromRgba64(in));
    convert_cicp_to_srgb(&image, primaries, transfer);
    QCOMPARE(image.depth(), 32); // 8 bits a channel
    QCOMPARE(image.size(), QSize(4, 3));
    const QColor got = image.pixelColor(3, 2);
    QVERIFY2(near(got, expected, 2), text(got) + " expected " + text(expected));
}

void TstPictureColour::cmykRows()
{
    // Without a profile the plain ink formula; with one, the profile's colours.
    const uchar inverted[8] = {255, 0, 0, 255, 255, 255, 255, 128}; // red; half black
    QRgb out[2];
    CmykToSrgb plain(QByteArray(), true);
    QVERIFY(!plain.usesProfile());
    plain.convertRow(inverted, out, 2);
    QCOMPARE(QColor(out[0]), QColor(255, 0, 0));
    QCOMPARE(QColor(out[1]), QColor(128, 128, 128));
    CmykToSrgb profiled(channelSwapProfile(true), true);
    QVERIFY(profiled.usesProfile());
    profiled.convertRow(inverted, out, 2);
    QVERIFY2(near(QColor(out[0]), QColor(0, 0, 255), 3), text(QColor(out[0])));
    QCOMPARE(qAlpha(out[0]), 255);
    // An RGB profile is no CMYK profile: the plain formula.
    QVERIFY(!CmykToSrgb(displayP3Profile(), true).usesProfile());
    const QImage whole = cmyk_to_srgb(inverted, 2, 1, 8, true, QByteArray());
    QCOMPARE(whole.pixelColor(1, 0), QColor(128, 128, 128));
    QVERIFY(cmyk_to_srgb(inverted, 3, 1, 8, true, QByteArray()).isNull()); // rows too short
}

void TstPictureColour::jpegProfiles_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<QColor>("expected");
    const QColor c(200, 120, 60);
    const QByteArray p3 = displayP3Profile();
    QTest::newRow("display p3") << profiledJpeg(QSize(32, 24), c, p3) << QSize() << displayP3InSrgb(c);
    QTest::newRow("display p3, scaled decode")
        << profiledJpeg(QSize(64, 48), c, p3) << QSize(8, 6) << displayP3InSrgb(c);
    QTest::newRow("display p3 in many chunks")
        << profiledJpeg(QSize(32, 24), c, p3, false, 97) << QSize() << displayP3InSrgb(c);
    QTest::newRow("lookup table profile")
        << profiledJpeg(QSize(16, 16), c, channelSwapProfile(false)) << QSize() << QColor(60, 120, 200);
    QTest::newRow("cmyk with profile") << profiledJpeg(QSize(16, 16), Qt::red, channelSwapProfile(true), true)
                                       << QSize() << QColor(0, 0, 255);
    QTest::newRow("cmyk without profile")
        << profiledJpeg(QSize(16, 16), Qt::red, QByteArray(), true) << QSize() << QColor(255, 0, 0);
    QTest::newRow("broken profile: as stored")
        << profiledJpeg(QSize(16, 16), c, QByteArray(300, '\x01')) << QSize() << c;
}

void TstPictureColour::jpegProfiles()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(QSize, shown);
    QFETCH(QColor, expected);
    const LoadedPicture p = load_picture(jpeg, PictureKind::Jpeg, shown);
    QVERIFY(p.ok);
    QCOMPARE(p.image.size(), shown.isValid() ? shown : p.naturalSize);
    const QColor got = p.image.pixelColor(p.image.width() / 2, p.image.height() / 2);
    QVERIFY2(near(got, expected, 3), text(got) + " expected " + text(expected));
}

QTEST_GUILESS_MAIN(TstPictureColour)
#include "tst_picture_colour.moc"
