#include "support/colour_fixtures.h"

#include <QColorSpace>

#include <algorithm>
#include <cmath>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
#include <lcms2.h>
#include <vector>

namespace vorn::test
{

namespace
{

QByteArray saved(cmsHPROFILE h)
{
    cmsUInt32Number size = 0;
    QByteArray bytes;
    if (cmsSaveProfileToMem(h, nullptr, &size) && size > 0) {
        bytes.resize(qsizetype(size));
        cmsSaveProfileToMem(h, bytes.data(), &size);
    }
    cmsCloseProfile(h);
    return bytes;
}

struct SwapSampler {
    cmsHTRANSFORM toLab;
    bool cmyk;
};

// Device values in, v4 Lab out: the colour of sRGB (b, g, r).
int swap_sample(const cmsUInt16Number in[], cmsUInt16Number out[], void *cargo)
{
    auto *s = static_cast<SwapSampler *>(cargo);
    cmsUInt16Number rgb[3];
    if (s->cmyk) {
        // Not inverted: the stored value is the ink.
        const double k = 1 - in[3] / 65535.0;
        rgb[0] = cmsUInt16Number(std::lround((1 - in[2] / 65535.0) * k * 65535)); // swapped: from yellow
        rgb[1] = cmsUInt16Number(std::lround((1 - in[1] / 65535.0) * k * 65535));
        rgb[2] = cmsUInt16Number(std::lround((1 - in[0] / 65535.0) * k * 65535));
    } else {
        rgb[0] = in[2];
        rgb[1] = in[1];
        rgb[2] = in[0];
    }
    cmsDoTransform(s->toLab, rgb, out, 1);
    return TRUE;
}

} // namespace

QByteArray displayP3Profile()
{
    return QColorSpace(QColorSpace::Primaries::DciP3D65, QColorSpace::TransferFunction::SRgb).iccProfile();
}

QByteArray channelSwapProfile(bool cmyk)
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    SwapSampler sampler{
        cmsCreateTransform(srgb, TYPE_RGB_16, lab, TYPE_Lab_16, INTENT_RELATIVE_COLORIMETRIC, 0), cmyk};
    const cmsUInt32Number channels = cmyk ? 4 : 3;
    cmsHPROFILE h = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(h, 4.3);
    cmsSetDeviceClass(h, cmyk ? cmsSigOutputClass : cmsSigInputClass);
    cmsSetColorSpace(h, cmyk ? cmsSigCmykData : cmsSigRgbData);
    cmsSetPCS(h, cmsSigLabData);
    cmsSetHeaderRenderingIntent(h, INTENT_PERCEPTUAL);
    cmsPipeline *lut = cmsPipelineAlloc(nullptr, channels, 3);
    cmsStage *clut = cmsStageAllocCLut16bit(nullptr, cmyk ? 9 : 17, channels, 3, nullptr);
    cmsStageSampleCLut16bit(clut, swap_sample, &sampler, 0);
    // Stored as lutAtoBType: A curves, the table, B curves (identity curves here).
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, channels, nullptr));
    cmsPipelineInsertStage(lut, cmsAT_END, clut);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(h, cmsSigAToB0Tag, lut);
    cmsWriteTag(h, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(lut);
    cmsDeleteTransform(sampler.toLab);
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);
    return saved(h);
}

QByteArray linearGrayProfile()
{
    cmsToneCurve *linear = cmsBuildGamma(nullptr, 1.0);
    cmsHPROFILE h = cmsCreateGrayProfile(cmsD50_xyY(), linear);
    cmsFreeToneCurve(linear);
    return saved(h);
}

QByteArray profiledJpeg(QSize size, QColor colour, const QByteArray &icc, bool cmyk, int chunk)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = JDIMENSION(size.width());
    c.image_height = JDIMENSION(size.height());
    c.input_components = cmyk ? 4 : 3;
    c.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 98, TRUE);
    jpeg_start_compress(&c, TRUE);
    // The profile in APP2 chunks: "ICC_PROFILE\0", sequence number, count, data.
    const int count = int((icc.size() + chunk - 1) / chunk);
    for (int i = 0; i < count; ++i) {
        QByteArray marker("ICC_PROFILE", 12);
        marker.append(char(i + 1)).append(char(count)).append(icc.mid(qsizetype(i) * chunk, chunk));
        jpeg_write_marker(&c, JPEG_APP0 + 2, reinterpret_cast<const JOCTET *>(marker.constData()),
                          unsigned(marker.size()));
    }
    std::vector<uchar> row(size_t(size.width()) * (cmyk ? 4 : 3));
    for (int x = 0; x < size.width(); ++x) {
        uchar *p = row.data() + x * (cmyk ? 4 : 3);
        if (cmyk) {
            p[0] = uchar(colour.red()); // inverted cyan: 255 - ink
            p[1] = uchar(colour.green());
            p[2] = uchar(colour.blue());
            p[3] = 255;
        } else {
            p[0] = uchar(colour.red());
            p[1] = uchar(colour.green());
            p[2] = uchar(colour.blue());
        }
    }
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(outSize));
    free(out);
    return bytes;
}

QColor displayP3InSrgb(QColor p3)
{
    // Display P3 and sRGB share white (D65) and curve; linear P3 to linear sRGB by the matrix of
    // their primaries.
    static const double m[3][3] = {
        {1.2249401, -0.2249404, 0.0}, {-0.0420569, 1.0420571, 0.0}, {-0.0196376, -0.0786361, 1.0982735}};
    auto lin = [](int v) {
        const double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    auto enc = [](double l) {
        l = std::clamp(l, 0.0, 1.0);
        const double v = l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
        return int(std::lround(v * 255));
    };
    const double in[3] = {lin(p3.red()), lin(p3.green()), lin(p3.blue())};
    int out[3];
    for (int i = 0; i < 3; ++i)
        out[i] = enc(m[i][0] * in[0] + m[i][1] * in[1] + m[i][2] * in[2]);
    return QColor(out[0], out[1], out[2]);
}

} // namespace vorn::test
