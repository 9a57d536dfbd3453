#include "codecs/picture_colour.h"

#include <QColorSpace>
#include <QPointF>
#include <QSysInfo>

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace vorn
{

namespace
{

// LittleCMS reports broken profiles through a log handler; a broken profile is simply not
// used, so nothing is printed.
extern "C" void lcms_quiet(cmsContext, cmsUInt32Number, const char *) {}

struct LcmsQuiet {
    LcmsQuiet() { cmsSetLogErrorHandler(lcms_quiet); }
};

void silence_lcms()
{
    static const LcmsQuiet quiet;
    (void)quiet;
}

// QRgb in memory: B, G, R, A on little-endian machines.
cmsUInt32Number rgb32_type()
{
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TYPE_BGRA_8 : TYPE_ARGB_8;
}

struct Profile {
    cmsHPROFILE p = nullptr;
    explicit Profile(cmsHPROFILE profile) : p(profile) {}
    ~Profile()
    {
        if (p)
            cmsCloseProfile(p);
    }
    Profile(const Profile &) = delete;
    Profile &operator=(const Profile &) = delete;
};

cmsHPROFILE open_profile(const QByteArray &icc)
{
    silence_lcms();
    return cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size()));
}

bool is_gray(const QImage &image)
{
    return image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_Grayscale16;
}

bool is_64bit(QImage::Format f)
{
    return f == QImage::Format_RGBA64 || f == QImage::Format_RGBX64 ||
           f == QImage::Format_RGBA64_Premultiplied;
}

// A gray picture through a gray profile into RGB32 sRGB.
void gray_through_lcms(QImage *image, cmsHPROFILE in)
{
    const bool wide = image->format() == QImage::Format_Grayscale16;
    Profile srgb(cmsCreate_sRGBProfile());
    cmsHTRANSFORM t = cmsCreateTransform(in, wide ? TYPE_GRAY_16 : TYPE_GRAY_8, srgb.p, rgb32_type(),
                                         INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    if (!t)
        return;
    QImage out(image->size(), QImage::Format_RGB32);
    if (out.isNull()) {
        cmsDeleteTransform(t);
        return;
    }
    out.fill(Qt::black); // opaque: the transform leaves the alpha bytes alone
    cmsDoTransformLineStride(t, image->constBits(), out.bits(), cmsUInt32Number(image->width()),
                             cmsUInt32Number(image->height()), cmsUInt32Number(image->bytesPerLine()),
                             cmsUInt32Number(out.bytesPerLine()), 0, 0);
    cmsDeleteTransform(t);
    *image = std::move(out);
}

// An RGB picture through an RGB profile, in place, alpha kept.
void rgb_through_lcms(QImage *image, cmsHPROFILE in)
{
    const QImage::Format was = image->format();
    const bool wide = is_64bit(was);
    const bool alpha = image->hasAlphaChannel();
    const QImage::Format work = wide ? (alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                                     : (alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (was != work)
        image->convertTo(work);
    const cmsUInt32Number type = wide ? TYPE_RGBA_16 : rgb32_type();
    Profile srgb(cmsCreate_sRGBProfile());
    cmsHTRANSFORM t =
        cmsCreateTransform(in, type, srgb.p, type, INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA | cmsFLAGS_NOCACHE);
    if (t) {
        uchar *bits = image->bits();
        cmsDoTransformLineStride(t, bits, bits, cmsUInt32Number(image->width()),
                                 cmsUInt32Number(image->height()), cmsUInt32Number(image->bytesPerLine()),
                                 cmsUInt32Number(image->bytesPerLine()), 0, 0);
        cmsDeleteTransform(t);
    }
    if (was != work)
        image->convertTo(was);
}

} // namespace

void convert_icc_to_srgb(QImage *image, const QByteArray &iccProfile)
{
    if (!image || image->isNull() || iccProfile.isEmpty())
        return;
    const bool gray = is_gray(*image);
    if (!gray) {
        const QColorSpace space = QColorSpace::fromIccProfile(iccProfile);
        if (space.isValid()) {
            if (space == QColorSpace(QColorSpace::SRgb))
                return;
            image->setColorSpace(space);
            image->convertToColorSpace(QColorSpace::SRgb);
            return;
        }
    }
    Profile in(open_profile(iccProfile));
    if (!in.p)
        return;
    const cmsColorSpaceSignature sig = cmsGetColorSpace(in.p);
    if (gray && sig == cmsSigGrayData) {
        gray_through_lcms(image, in.p);
    } else if (sig == cmsSigGrayData && !image->hasAlphaChannel()) {
        // A gray picture some decoders hand out as RGB (JPEG): its gray values, through the profile.
        QImage grayImage = image->convertToFormat(QImage::Format_Grayscale8);
        gray_through_lcms(&grayImage, in.p);
        if (grayImage.format() == QImage::Format_RGB32)
            *image = std::move(grayImage);
    } else if (!gray && sig == cmsSigRgbData)
        rgb_through_lcms(image, in.p);
}

// ---------------------------------------------------------------------------------------------
// Coded primaries and transfer

namespace
{

using Mat3 = std::array<std::array<double, 3>, 3>;

Mat3 multiply(const Mat3 &a, const Mat3 &b)
{
    Mat3 m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                m[i][j] += a[i][k] * b[k][j];
    return m;
}

Mat3 inverse(const Mat3 &m)
{
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Mat3 r{};
    r[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
    r[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
    r[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
    r[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
    r[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
    r[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
    r[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
    r[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
    r[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
    return r;
}

struct Primaries {
    int code;
    QPointF red, green, blue, white;
};

constexpr QPointF kD65(0.3127, 0.3290);
const std::array<Primaries, 6> kPrimaries = {{
    {1, {0.640, 0.330}, {0.300, 0.600}, {0.150, 0.060}, kD65},            // BT.709, sRGB
    {5, {0.640, 0.330}, {0.290, 0.600}, {0.150, 0.060}, kD65},            // BT.470 B/G
    {6, {0.630, 0.340}, {0.310, 0.595}, {0.155, 0.070}, kD65},            // BT.601 525
    {9, {0.708, 0.292}, {0.170, 0.797}, {0.131, 0.046}, kD65},            // BT.2020
    {11, {0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}, {0.314, 0.351}}, // DCI-P3
    {12, {0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}, kD65},           // Display P3
}};

const Primaries *primaries_for(int code)
{
    if (code == 7)
        code = 6; // SMPTE 240M has the primaries of BT.601 525
    for (const Primaries &p : kPrimaries)
        if (p.code == code)
            return &p;
    return nullptr;
}

Mat3 rgb_to_xyz(const Primaries &p)
{
    auto xyz = [](QPointF c) {
        return std::array<double, 3>{c.x() / c.y(), 1.0, (1 - c.x() - c.y()) / c.y()};
    };
    const auto r = xyz(p.red), g = xyz(p.green), b = xyz(p.blue), w = xyz(p.white);
    const Mat3 m{{{r[0], g[0], b[0]}, {r[1], g[1], b[1]}, {r[2], g[2], b[2]}}};
    const Mat3 inv = inverse(m);
    std::array<double, 3> s{};
    for (int i = 0; i < 3; ++i)
        s[i] = inv[i][0] * w[0] + inv[i][1] * w[1] + inv[i][2] * w[2];
    Mat3 out = m;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[i][j] *= s[j];
    return out;
}

enum class Hdr { None, Pq, Hlg };

// Diffuse white of HDR pictures, shown as sRGB white.
constexpr double kReferenceWhiteNits = 203.0;
constexpr double kHlgPeakNits = 1000.0;

double pq_to_nits(double e)
{
    constexpr double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128;
    constexpr double c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double p = std::pow(std::clamp(e, 0.0, 1.0), 1 / m2);
    return 10000.0 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1 / m1);
}

double hlg_to_scene(double e)
{
    constexpr double a = 0.17883277, b = 0.28466892, c = 0.55991073;
    e = std::clamp(e, 0.0, 1.0);
    return e <= 0.5 ? e * e / 3 : (std::exp((e - c) / a) + b) / 12;
}

// Highlights above the knee approach white smoothly instead of clipping.
double roll_off(double x)
{
    constexpr double knee = 0.8;
    if (x <= knee)
        return std::max(x, 0.0);
    return knee + (1 - knee) * (1 - std::exp(-(x - knee) / (1 - knee)));
}

uchar srgb_encode(double linear)
{
    linear = std::clamp(linear, 0.0, 1.0);
    const double v = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return uchar(std::lround(v * 255));
}

// HDR through look-up tables: signal -> light relative to diffuse white, the primaries matrix,
// the roll-off and the sRGB encoding.
void hdr_to_srgb(QImage *image, const Mat3 &toBt709, Hdr hdr)
{
    const bool alpha = image->hasAlphaChannel();
    QImage src = image->convertToFormat(alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
    QImage out(src.size(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (src.isNull() || out.isNull())
        return;
    std::vector<float> light(65536);
    for (int i = 0; i < 65536; ++i) {
        const double e = i / 65535.0;
        light[size_t(i)] = float(hdr == Hdr::Pq ? pq_to_nits(e) / kReferenceWhiteNits : hlg_to_scene(e));
    }
    std::vector<uchar> encode(4097); // linear [0, 1] in 4096 steps -> sRGB byte
    for (int i = 0; i <= 4096; ++i)
        encode[size_t(i)] = srgb_encode(i / 4096.0);
    auto toByte = [&](double v) { return encode[size_t(std::lround(roll_off(v) * 4096))]; };
    constexpr double kr = 0.2627, kg = 0.6780, kb = 0.0593; // BT.2020 luminance, for the HLG OOTF
    for (int y = 0; y < src.height(); ++y) {
        const QRgba64 *in = reinterpret_cast<const QRgba64 *>(src.constScanLine(y));
        QRgb *o = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            double r = light[in[x].red()], g = light[in[x].green()], b = light[in[x].blue()];
            if (hdr == Hdr::Hlg) {
                const double ys = kr * r + kg * g + kb * b;
                const double f = ys > 0 ? kHlgPeakNits * std::pow(ys, 0.2) / kReferenceWhiteNits : 0;
                r *= f;
                g *= f;
                b *= f;
            }
            const double R = toBt709[0][0] * r + toBt709[0][1] * g + toBt709[0][2] * b;
            const double G = toBt709[1][0] * r + toBt709[1][1] * g + toBt709[1][2] * b;
            const double B = toBt709[2][0] * r + toBt709[2][1] * g + toBt709[2][2] * b;
            o[x] = qRgba(toByte(R), toByte(G), toByte(B), alpha ? in[x].alpha() >> 8 : 255);
        }
    }
    if (alpha)
        out.convertTo(QImage::Format_ARGB32_Premultiplied);
    *image = std::move(out);
}

void to_8bit(QImage *image)
{
    if (!is_64bit(image->format()))
        return;
    image->convertTo(image->hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

} // namespace

void convert_cicp_to_srgb(QImage *image, int primaries, int transfer)
{
    if (!image || image->isNull())
        return;
    if (primaries == 2)
        primaries = 1; // unspecified: as BT.709
    const Primaries *p = primaries_for(primaries);
    if (!p) {
        to_8bit(image);
        return;
    }
    const Hdr hdr = transfer == 16 ? Hdr::Pq : transfer == 18 ? Hdr::Hlg : Hdr::None;
    if (hdr != Hdr::None) {
        hdr_to_srgb(image, multiply(inverse(rgb_to_xyz(kPrimaries[0])), rgb_to_xyz(*p)), hdr);
        return;
    }
    QColorSpace::TransferFunction tf = QColorSpace::TransferFunction::SRgb;
    float gamma = 0;
    switch (transfer) {
    case 4:
        tf = QColorSpace::TransferFunction::Gamma;
        gamma = 2.2f;
        break;
    case 5:
        tf = QColorSpace::TransferFunction::Gamma;
        gamma = 2.8f;
        break;
    case 8:
        tf = QColorSpace::TransferFunction::Linear;
        break;
    default: // sRGB, the BT.709 family and unknown codes are shown with the sRGB curve
        break;
    }
    if (p->code != 1 || tf != QColorSpace::TransferFunction::SRgb) {
        if (is_gray(*image))
            image->convertTo(QImage::Format_RGB32);
        image->setColorSpace(QColorSpace(p->white, p->red, p->green, p->blue, tf, gamma));
        image->convertToColorSpace(QColorSpace::SRgb);
    }
    to_8bit(image);
}

// ---------------------------------------------------------------------------------------------
// CMYK

CmykToSrgb::CmykToSrgb(const QByteArray &iccProfile, bool inverted) : inverted_(inverted)
{
    if (iccProfile.isEmpty())
        return;
    Profile in(open_profile(iccProfile));
    if (!in.p || cmsGetColorSpace(in.p) != cmsSigCmykData)
        return;
    Profile srgb(cmsCreate_sRGBProfile());
    transform_ = cmsCreateTransform(in.p, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb.p, rgb32_type(),
                                    INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
}

CmykToSrgb::~CmykToSrgb()
{
    if (transform_)
        cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_));
}

void CmykToSrgb::convertRow(const uchar *in, QRgb *out, int width) const
{
    if (transform_) {
        cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), in, out, cmsUInt32Number(width));
        for (int x = 0; x < width; ++x)
            out[x] |= 0xff000000u;
        return;
    }
    for (int x = 0; x < width; ++x, in += 4) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted_) { // stored as ink: take what is left of white
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[x] = qRgb(int(c * k / 255), int(m * k / 255), int(y * k / 255));
    }
}

QImage cmyk_to_srgb(const uchar *cmyk, int width, int height, qsizetype bytesPerLine, bool inverted,
                    const QByteArray &iccProfile)
{
    if (!cmyk || width <= 0 || height <= 0 || bytesPerLine < qsizetype(width) * 4)
        return QImage();
    QImage out(width, height, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    const CmykToSrgb convert(iccProfile, inverted);
    for (int y = 0; y < height; ++y)
        convert.convertRow(cmyk + qsizetype(y) * bytesPerLine, reinterpret_cast<QRgb *>(out.scanLine(y)),
                           width);
    return out;
}

} // namespace vorn
