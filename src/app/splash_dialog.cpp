#include "app/splash_dialog.h"

#include "lang/message_texts.h"
#include "lang/texts.h"

#include <QApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

QLabel *goldLabel(const QString &text, int pointSize, QWidget *parent, const char *name = nullptr)
{
    auto *l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    QFont f = l->font();
    f.setPointSize(pointSize);
    f.setBold(true);
    l->setFont(f);
    l->setAlignment(Qt::AlignCenter);
    l->setStyleSheet(QStringLiteral("color: #f5c542; background: transparent;"));
    return l;
}

} // namespace

SplashDialog::SplashDialog(const Texts &texts, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("form_splash"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(420, 260);
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(20, 24, 20, 20);
    lay->addWidget(goldLabel(QStringLiteral("*  V. O. R. N.  *"), 22, this));
    lay->addWidget(goldLabel(texts.msg(Msg::SplashRights), 9, this, "lb_rights"));
    lay->addWidget(goldLabel(QStringLiteral("- deutsch / english -"), 10, this));
    lay->addWidget(
        goldLabel(QStringLiteral("Version ") + QApplication::applicationVersion(), 10, this, "le_version"));
    lay->addStretch(1);
    auto *start = new QPushButton(QStringLiteral("S t a r t"), this);
    start->setObjectName(QStringLiteral("LabelEffect2"));
    start->setFlat(true);
    start->setCursor(Qt::PointingHandCursor);
    start->setStyleSheet(QStringLiteral(
        "QPushButton { color: #f5c542; font-weight: bold; font-size: 14pt; border: 1px solid #f5c542;"
        " border-radius: 4px; padding: 4px 24px; background: rgba(0,0,80,120); }"
        "QPushButton:hover { background: rgba(40,60,180,160); }"));
    connect(start, &QPushButton::clicked, this, &QDialog::accept);
    lay->addWidget(start, 0, Qt::AlignHCenter);

    if (QScreen *s = parent ? parent->screen() : QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

void SplashDialog::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, Qt::black);
    g.setColorAt(1, QColor(0, 0, 200));
    p.fillRect(rect(), g);
    p.setPen(QColor(245, 197, 66));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void SplashDialog::mousePressEvent(QMouseEvent *)
{
    accept();
}

void SplashDialog::keyPressEvent(QKeyEvent *)
{
    accept();
}

} // namespace vorn
