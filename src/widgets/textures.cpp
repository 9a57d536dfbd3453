#include "widgets/textures.h"

#include <QImage>
#include <QtMath>

namespace vorn
{

namespace
{

struct Palette2 {
    QColor base;
    int grain; // noise amplitude
    int waves; // amplitude of the soft diagonal waves
};

Palette2 paletteOf(Texture kind)
{
    switch (kind) {
    case Texture::Aqua:
        return {QColor(70, 150, 190), 10, 10};
    case Texture::Blue:
        return {QColor(24, 44, 118), 9, 12};
    case Texture::White:
        return {QColor(236, 236, 240), 6, 4};
    case Texture::Fu:
        return {QColor(196, 204, 220), 8, 6};
    case Texture::Gold:
        return {QColor(200, 160, 60), 10, 10};
    }
    return {QColor(128, 128, 128), 0, 0};
}

} // namespace

QPixmap texture_tile(Texture kind)
{
    constexpr int kSize = 64;
    const Palette2 p = paletteOf(kind);
    QImage img(kSize, kSize, QImage::Format_RGB32);
    quint32 seed = 0x9e3779b9u + static_cast<quint32>(kind) * 7919u;
    for (int y = 0; y < kSize; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < kSize; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int((seed >> 24) % (2 * p.grain + 1)) - p.grain;
            // Waves with a whole number of periods per tile, so the tile repeats without seams.
            const double w =
                std::sin(2 * M_PI * (x + y) / kSize) + 0.5 * std::sin(4 * M_PI * (x - y) / kSize);
            const int d = noise + int(p.waves * w / 1.5);
            line[x] = qRgb(qBound(0, p.base.red() + d, 255), qBound(0, p.base.green() + d, 255),
                           qBound(0, p.base.blue() + d, 255));
        }
    }
    return QPixmap::fromImage(img);
}

} // namespace vorn
