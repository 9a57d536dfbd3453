// Renders the program's icon resources/icons/vorn.svg into the PNG sizes of the hicolor theme:
// render_icons SVG OUTDIR writes OUTDIR/NxN/apps/vorn.png. Run by scripts/make-icons.sh.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: render_icons SVG OUTDIR\n", stderr);
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fputs("render_icons: cannot read the SVG\n", stderr);
        return 1;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        svg.render(&p);
        p.end();
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/vorn.png"))) {
            std::fputs("render_icons: cannot write a PNG\n", stderr);
            return 1;
        }
    }
    return 0;
}
