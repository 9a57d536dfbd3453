#include "app/function_bar_view.h"
#include "widgets/drawn_icon.h"

#include "widgets/theme.h"

#include <QActionGroup>
#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

QIcon swatchIcon(const QColor &c)
{
    return drawn_icon([c](QPainter &p) {
        p.setPen(QColor(60, 60, 60));
        p.setBrush(c);
        p.drawRect(2, 2, 13, 13);
    });
}

// The hint sizes of pop_hint, in points; the entry of kDefaultHintSize starts checked.
struct HintEntry {
    const char *caption;
    int size;
    int width;
};
constexpr HintEntry kHintEntries[] = {{"  8", 8, 140},  {"  9 ", 9, 140}, {" 10 ", 10, 150},
                                      {" 11", 11, 200}, {" 12", 12, 250}, {" 14", 14, 300}};
constexpr int kDefaultHintSize = 9;

} // namespace

FunctionBarView::FunctionBarView(int rowHeight, QWidget *parent)
    : CollapsibleToolBar(QStringLiteral("tbar_main"), QStringLiteral("lb_function"), parent),
      rowHeight_(rowHeight)
{
    auto *row = new QWidget(content());
    row->setObjectName(QStringLiteral("fup_main"));
    row->setFixedHeight(rowHeight + 2);
    auto *lay = new QHBoxLayout(row);
    lay->setContentsMargins(2, 1, 2, 1);
    lay->setSpacing(1);
    contentLayout()->addWidget(row);

    QStyle *st = style();
    viewGroup_ = new QButtonGroup(this);
    viewGroup_->setExclusive(true);
    const struct {
        const char *name;
        ViewMode mode;
        QIcon icon;
    } views[] = {
        {"bt_showview", ViewMode::Pictures, drawn_icon([](QPainter &p) {
             p.setBrush(QColor(70, 130, 220));
             p.setPen(QColor(20, 40, 90));
             p.drawRect(2, 3, 14, 11);
             p.setBrush(QColor(60, 160, 60));
             p.drawPolygon(QPolygon({QPoint(3, 13), QPoint(8, 7), QPoint(15, 13)}));
         })},
        {"bt_showzip", ViewMode::Zip, drawn_icon([](QPainter &p) {
             p.setBrush(QColor(230, 190, 80));
             p.setPen(QColor(110, 80, 10));
             p.drawRect(3, 2, 12, 14);
             p.setPen(QPen(QColor(60, 60, 60), 2));
             p.drawLine(9, 2, 9, 12);
         })},
        {"bt_showrename", ViewMode::Rename, drawn_icon([](QPainter &p) {
             p.setPen(QColor(30, 30, 30));
             p.setFont(QFont(p.font().family(), 8, QFont::Bold));
             p.drawText(QRect(0, 0, 18, 18), Qt::AlignCenter, QStringLiteral("1.2"));
         })},
    };
    for (const auto &v : views) {
        QToolButton *b = addButton(row, v.name, v.icon, true);
        viewGroup_->addButton(b, int(v.mode));
        connect(b, &QToolButton::clicked, this, [this, mode = v.mode] { emit viewButtonClicked(mode); });
    }
    button("bt_showview")->setChecked(true);

    auto *sep = new QFrame(row);
    sep->setFrameShape(QFrame::VLine);
    sep->setFrameShadow(QFrame::Sunken);
    lay->addWidget(sep);

    QToolButton *cols = addButton(row, "bt_256cols", drawn_icon([](QPainter &p) {
                                      QLinearGradient g(0, 0, 18, 18);
                                      g.setColorAt(0, QColor(20, 40, 130));
                                      g.setColorAt(1, QColor(200, 210, 240));
                                      p.setBrush(g);
                                      p.setPen(Qt::NoPen);
                                      p.drawRoundedRect(2, 2, 14, 14, 3, 3);
                                  }),
                                  true);
    connect(cols, &QToolButton::clicked, this, &FunctionBarView::bt_256colsClick);
    QToolButton *colors = addButton(row, "bt_colors", drawn_icon([](QPainter &p) {
                                        const QColor c[4] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
                                        for (int i = 0; i < 4; ++i) {
                                            p.setBrush(c[i]);
                                            p.setPen(Qt::NoPen);
                                            p.drawRect(2 + (i % 2) * 7, 2 + (i / 2) * 7, 7, 7);
                                        }
                                    }),
                                    true);
    connect(colors, &QToolButton::clicked, this, &FunctionBarView::bt_colorsClick);
    QToolButton *blue = addButton(row, "bt_bgblue", QIcon(texture_tile(Texture::Blue).copy(0, 0, 18, 18)));
    connect(blue, &QToolButton::clicked, this, [this] { emit viewingTextureChosen(true); });
    QToolButton *white = addButton(row, "bt_bgwhite", QIcon(texture_tile(Texture::White).copy(0, 0, 18, 18)));
    connect(white, &QToolButton::clicked, this, [this] { emit viewingTextureChosen(false); });

    QToolButton *hint = addButton(row, "bt_hintsize", drawn_icon([](QPainter &p) {
                                      p.setPen(QColor(30, 30, 30));
                                      p.setBrush(QColor(255, 255, 210));
                                      p.drawRect(1, 3, 16, 10);
                                      p.setFont(QFont(p.font().family(), 7));
                                      p.drawText(QRect(1, 3, 16, 10), Qt::AlignCenter, QStringLiteral("Aa"));
                                  }));
    pop_hint_ = new QMenu(hint);
    pop_hint_->setObjectName(QStringLiteral("pop_hint"));
    auto *hintGroup = new QActionGroup(pop_hint_);
    for (const HintEntry &e : kHintEntries) {
        QAction *a = pop_hint_->addAction(QString::fromLatin1(e.caption));
        a->setObjectName(QStringLiteral("mi_fontsize%1").arg(e.size));
        a->setCheckable(true);
        a->setChecked(e.size == kDefaultHintSize);
        a->setProperty("hintSize", e.size);
        hintGroup->addAction(a);
        connect(a, &QAction::triggered, this, &FunctionBarView::mi_fontsize8Click);
    }
    hint->setMenu(pop_hint_);
    hint->setPopupMode(QToolButton::InstantPopup);

    lay->addStretch(1);
    connect(addButton(row, "bt_language", st->standardIcon(QStyle::SP_FileDialogDetailedView)),
            &QToolButton::clicked, this, &FunctionBarView::languageClicked);
    connect(addButton(row, "bt_info", st->standardIcon(QStyle::SP_MessageBoxInformation)),
            &QToolButton::clicked, this, &FunctionBarView::infoClicked);
    connect(addButton(row, "bt_help", st->standardIcon(QStyle::SP_DialogHelpButton)), &QToolButton::clicked,
            this, &FunctionBarView::helpClicked);
    connect(addButton(row, "bt_close", st->standardIcon(QStyle::SP_DialogCloseButton)), &QToolButton::clicked,
            this, &FunctionBarView::closeClicked);

    // The colour panel: sixteen swatches, shown by bt_colors.
    fup_color_ = new QWidget(content());
    fup_color_->setObjectName(QStringLiteral("fup_color"));
    // Exactly one button row: showing it grows the bar by the button-row height.
    fup_color_->setFixedHeight(rowHeight);
    auto *colorRow = new QHBoxLayout(fup_color_);
    colorRow->setContentsMargins(2, 0, 2, 0);
    colorRow->setSpacing(1);
    for (int i = 0; i < 16; ++i) {
        QToolButton *sw = addButton(fup_color_, "", swatchIcon(swatch_color(i)));
        sw->setObjectName(QStringLiteral("pnc%1").arg(i));
        colorRow->addWidget(sw);
        connect(sw, &QToolButton::clicked, this, [this, i] { emit viewingColorChosen(swatch_color(i)); });
    }
    colorRow->addStretch(1);
    contentLayout()->addWidget(fup_color_);
    fup_color_->hide();

    // Every button but the view buttons also announces itself as a function click.
    const auto all = findChildren<QToolButton *>();
    for (QToolButton *b : all)
        if (!viewGroup_->buttons().contains(b))
            connect(b, &QToolButton::clicked, this, &FunctionBarView::functionClicked);
}

void FunctionBarView::showMode(ViewMode mode)
{
    button("bt_help")->setEnabled(mode != ViewMode::Rename);
    // Before the first choice the picture button is the one down.
    if (QAbstractButton *b = viewGroup_->button(int(mode == ViewMode::None ? ViewMode::Pictures : mode)))
        b->setChecked(true);
}

void FunctionBarView::applyTexts()
{
    // The language button keeps its five-language hint.
    button("bt_language")
        ->setToolTip(QStringLiteral("Sprache wählen\n\rSelect language\n\rChoisir langage\n\rPrescelto "
                                    "linguaggio\n\rSeleccionar lenguaje"));
}

QToolButton *FunctionBarView::addButton(QWidget *row, const char *name, const QIcon &icon, bool checkable)
{
    auto *b = new QToolButton(row);
    if (*name)
        b->setObjectName(QString::fromLatin1(name));
    b->setIcon(icon);
    b->setIconSize(QSize(18, 18));
    b->setAutoRaise(true);
    b->setCheckable(checkable);
    b->setFixedSize(rowHeight_ + 3, rowHeight_);
    if (auto *lay = row->layout())
        lay->addWidget(b);
    return b;
}

QToolButton *FunctionBarView::button(const char *name) const
{
    return findChild<QToolButton *>(QString::fromLatin1(name));
}

void FunctionBarView::bt_colorsClick()
{
    fup_color_->setVisible(button("bt_colors")->isChecked());
}

void FunctionBarView::bt_256colsClick()
{
    const bool textured = !button("bt_256cols")->isChecked();
    for (const char *n : {"bt_bgblue", "bt_bgwhite"}) {
        button(n)->setVisible(textured);
        button(n)->setEnabled(textured);
    }
    emit themeChanged(textured);
}

void FunctionBarView::mi_fontsize8Click()
{
    auto *a = qobject_cast<QAction *>(sender());
    if (!a)
        return;
    const int size = a->property("hintSize").toInt();
    for (const HintEntry &e : kHintEntries) {
        if (e.size != size)
            continue;
        QFont f = QToolTip::font();
        f.setPointSize(e.size);
        QToolTip::hideText();
        QToolTip::setFont(f);
        hintSize_ = size;
    }
    for (QAction *other : pop_hint_->actions())
        other->setChecked(other == a);
}

} // namespace vorn
