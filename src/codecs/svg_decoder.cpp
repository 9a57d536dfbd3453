#include "codecs/svg_decoder.h"

#include "codecs/picture_kinds.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <zlib.h>

namespace vorn
{

namespace
{

// gzip data inflated, at most kMaxSvgBytes; empty when damaged or larger.
QByteArray gunzip(const QByteArray &data)
{
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
        return {};
    QByteArray out;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    int rc = Z_OK;
    char buffer[64 * 1024];
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef *>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
        out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
        if (out.size() > kMaxSvgBytes) {
            rc = Z_MEM_ERROR;
            break;
        }
        if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0)
            break; // cut short
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END ? out : QByteArray();
}

bool is_local_reference(QStringView value)
{
    const QStringView v = value.trimmed();
    return v.isEmpty() || v.startsWith(u'#') || v.startsWith(u"data:", Qt::CaseInsensitive);
}

// Every url(...) in a value points into the document.
bool urls_are_local(QStringView value)
{
    qsizetype at = 0;
    while ((at = value.indexOf(u"url(", at, Qt::CaseInsensitive)) >= 0) {
        at += 4;
        QStringView rest = value.mid(at).trimmed();
        if (rest.startsWith(u'"') || rest.startsWith(u'\''))
            rest = rest.mid(1);
        if (!rest.startsWith(u'#'))
            return false;
    }
    return true;
}

bool dropped_element(QStringView name)
{
    return name == u"script" || name == u"foreignObject" || name == u"iframe" || name == u"handler";
}

bool is_href(const QXmlStreamAttribute &a)
{
    return a.name() == u"href" || a.name() == u"src";
}

} // namespace

QByteArray self_contained_svg(const QByteArray &input)
{
    QByteArray data = input;
    if (data.startsWith("\x1f\x8b"))
        data = gunzip(data);
    if (data.isEmpty())
        return {};
    QXmlStreamReader r(data);
    r.setNamespaceProcessing(true);
    r.setEntityExpansionLimit(4096);
    QByteArray out;
    QXmlStreamWriter w(&out);
    int skipDepth = 0; // inside a dropped element
    bool inStyle = false;
    bool root = false;
    while (!r.atEnd()) {
        switch (r.readNext()) {
        case QXmlStreamReader::StartDocument:
            w.writeStartDocument();
            break;
        case QXmlStreamReader::StartElement: {
            if (skipDepth > 0) {
                ++skipDepth;
                break;
            }
            const QStringView name = r.name();
            bool drop = dropped_element(name);
            const QXmlStreamAttributes attributes = r.attributes();
            if (name == u"image" || name == u"use" || name == u"feImage") {
                for (const QXmlStreamAttribute &a : attributes)
                    if (is_href(a) && !is_local_reference(a.value()))
                        drop = true;
            }
            if (drop) {
                skipDepth = 1;
                break;
            }
            root = true;
            // Declared first, they belong to the element written next.
            for (const QXmlStreamNamespaceDeclaration &ns : r.namespaceDeclarations()) {
                if (ns.prefix().isEmpty())
                    w.writeDefaultNamespace(ns.namespaceUri().toString());
                else
                    w.writeNamespace(ns.namespaceUri().toString(), ns.prefix().toString());
            }
            w.writeStartElement(r.namespaceUri().toString(), name.toString());
            for (const QXmlStreamAttribute &a : attributes) {
                if (is_href(a) && !is_local_reference(a.value()))
                    continue;
                if (!urls_are_local(a.value()))
                    continue;
                w.writeAttribute(a);
            }
            inStyle = name == u"style";
            break;
        }
        case QXmlStreamReader::EndElement:
            if (skipDepth > 0) {
                --skipDepth;
                break;
            }
            inStyle = false;
            w.writeEndElement();
            break;
        case QXmlStreamReader::Characters:
            if (skipDepth > 0 || !root)
                break;
            if (inStyle && (r.text().contains(u"@import", Qt::CaseInsensitive) || !urls_are_local(r.text())))
                break; // a style sheet that could fetch something is left out whole
            if (r.isCDATA())
                w.writeCDATA(r.text().toString());
            else
                w.writeCharacters(r.text().toString());
            break;
        case QXmlStreamReader::EntityReference: // unresolved: an external entity
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::ProcessingInstruction:
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::EndDocument:
        case QXmlStreamReader::NoToken:
        case QXmlStreamReader::Invalid:
            break;
        }
    }
    if (r.hasError() || !root)
        return {};
    w.writeEndDocument();
    return out;
}

LoadedPicture decode_svg_picture(const QByteArray &data, const DecodeRequest &request)
{
    LoadedPicture result;
    result.kind = PictureKind::Svg;
    const QByteArray svg = self_contained_svg(data);
    if (svg.isEmpty())
        return result;
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return result;
    QSize natural = renderer.defaultSize();
    if (natural.isEmpty()) {
        const QSizeF box = renderer.viewBoxF().size();
        if (box.width() >= 1 && box.height() >= 1 && box.width() <= INT_MAX && box.height() <= INT_MAX)
            natural = box.toSize();
    }
    if (natural.isEmpty())
        return result;
    if (natural.width() > kMaxSvgSide || natural.height() > kMaxSvgSide)
        natural = natural.scaled(kMaxSvgSide, kMaxSvgSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    result.naturalSize = natural;
    result.frameCount = 1;
    const QSize shown = requested_size(request, natural);
    const QSize target = shown.isValid() ? shown : natural;
    if (target.isEmpty()) {
        result.ok = true;
        return result;
    }
    if (!within_pixels(target, request.maxPixels) || (request.cancelled && request.cancelled()))
        return result;
    QImage image(target, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return result;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(target)));
    painter.end();
    result.image = std::move(image);
    result.ok = true;
    return result;
}

} // namespace vorn
