#include "widgets/theme.h"

#include <QStyle>
#include <QWidget>

namespace vorn
{

namespace
{

const char *const kLargeAreas[] = {"pn_main",   "sb_sort",     "sb_1",       "pn_video",
                                   "pn_zipout", "pn_emptyzip", "pn_catalog", "pn_helpbuts"};
const char *const kControlPanels[] = {"pn_exitscan", "pn_catbuts", "pn_lupe", "pn_diabuts"};
const char *const kWhitePanels[] = {"pn_rename", "pn_renameexpl", "pn_datetime", "pn_catcreate"};

void setTexture(QWidget *w, Texture kind)
{
    QPalette pal = w->palette();
    pal.setBrush(QPalette::Window, QBrush(texture_tile(kind)));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
    w->setProperty("textured", true);
}

void setColor(QWidget *w, const QColor &c)
{
    QPalette pal = w->palette();
    pal.setBrush(QPalette::Window, QBrush(c));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
    w->setProperty("textured", false);
}

void clearTexture(QWidget *w)
{
    if (!w->property("textured").toBool())
        return;
    // Back to the window colour of the style, without the tile.
    QPalette pal = w->palette();
    pal.setBrush(QPalette::Window, w->style() ? w->style()->standardPalette().window() : QBrush());
    w->setPalette(pal);
    w->setProperty("textured", false);
}

template <class Fn> void forNamed(QWidget *root, const char *const *names, size_t n, Fn fn)
{
    for (size_t i = 0; i < n; ++i) {
        const QString name = QString::fromLatin1(names[i]);
        if (root->objectName() == name)
            fn(root);
        for (QWidget *w : root->findChildren<QWidget *>(name))
            fn(w);
    }
}

void setTitleColor(QWidget *w, const QColor &c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    w->setPalette(pal);
}

} // namespace

QColor title_text_color(bool textured)
{
    // Pale yellow reads on the blue strip; on the plain window colour the strip shows the
    // style's light ground, where only a dark text reads.
    return textured ? QColor(255, 230, 140) : QColor(0, 0, 128);
}

void apply_theme(QWidget *root, bool textured)
{
    const auto all = root->findChildren<QWidget *>();
    for (QWidget *w : all)
        if (w->property("titleLabel").toBool())
            setTitleColor(w, title_text_color(textured));
    if (!textured) {
        for (QWidget *w : all)
            clearTexture(w);
        return;
    }
    forNamed(root, kLargeAreas, std::size(kLargeAreas), [](QWidget *w) { setTexture(w, Texture::Blue); });
    forNamed(root, kControlPanels, std::size(kControlPanels), [](QWidget *w) { setTexture(w, Texture::Fu); });
    forNamed(root, kWhitePanels, std::size(kWhitePanels), [](QWidget *w) { setTexture(w, Texture::White); });
    for (QWidget *w : all) {
        if (w->property("titleStrip").toBool())
            setTexture(w, Texture::Blue);
        else if (w->objectName().startsWith(QLatin1String("fup_")))
            setTexture(w, Texture::Fu);
    }
}

void set_viewing_texture(QWidget *root, Texture kind)
{
    forNamed(root, kViewingAreas, std::size(kViewingAreas), [kind](QWidget *w) { setTexture(w, kind); });
}

void set_viewing_color(QWidget *root, const QColor &color)
{
    forNamed(root, kViewingAreas, std::size(kViewingAreas), [&color](QWidget *w) { setColor(w, color); });
}

void set_texture(QWidget *w, Texture kind)
{
    setTexture(w, kind);
}

void remove_texture(QWidget *w)
{
    clearTexture(w);
}

bool has_texture(const QWidget *w)
{
    return w->property("textured").toBool();
}

QColor swatch_color(int index)
{
    static const QColor colors[16] = {
        QColor(0, 0, 0),       QColor(128, 0, 0),   QColor(0, 128, 0),   QColor(128, 128, 0),
        QColor(0, 0, 128),     QColor(128, 0, 128), QColor(0, 128, 128), QColor(128, 128, 128),
        QColor(192, 192, 192), QColor(255, 0, 0),   QColor(0, 255, 0),   QColor(255, 255, 0),
        QColor(0, 0, 255),     QColor(255, 0, 255), QColor(0, 255, 255), QColor(255, 255, 255)};
    return colors[qBound(0, index, 15)];
}

} // namespace vorn
