#include "app/info_dialog.h"

#include "archives/zip_engine.h"
#include "lang/texts.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <jpeglib.h>

namespace vorn
{

CreditsBanner::CreditsBanner(const QStringList &lines, QWidget *parent)
    : QWidget(parent), lines_(lines), timer_(new QTimer(this))
{
    setObjectName(QStringLiteral("banner"));
    setMinimumHeight(140);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 96));
    pal.setColor(QPalette::WindowText, QColor(245, 197, 66));
    setPalette(pal);
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &CreditsBanner::step);
    timer_->start();
}

void CreditsBanner::stop()
{
    timer_->stop();
}

void CreditsBanner::step()
{
    const int lineHeight = fontMetrics().height();
    // The lines start below the panel and run up until the last has left the top, then again.
    if (++offset_ > height() + lineHeight * int(lines_.size()))
        offset_ = 0;
    update();
}

void CreditsBanner::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const int lh = fontMetrics().height();
    int y = height() - offset_ + fontMetrics().ascent();
    for (const QString &line : lines_) {
        p.drawText(4, y, line);
        y += lh;
    }
}

QStringList InfoDialog::creditLines()
{
    const QString in = QStringLiteral("     ");
    return {in + QStringLiteral("In alphabetical order:"),
            in,
            in + QStringLiteral("CMake and Ninja - the build"),
            in + QStringLiteral("libjpeg-turbo ") + QString::number(JPEG_LIB_VERSION) +
                QStringLiteral(" - JPEG pictures"),
            in + QStringLiteral("libmpv - video playback"),
            in + QStringLiteral("libzip ") + ZipEngine::version() + QStringLiteral(" - ZIP archives"),
            in + QStringLiteral("Qt ") + QString::fromLatin1(qVersion()) +
                QStringLiteral(" - windows, pictures and texts"),
            in,
            in + QStringLiteral("Thanks to everyone who tested"),
            in + QStringLiteral("the program and sent their ideas."),
            in};
}

InfoDialog::InfoDialog(const Texts &texts, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("form_info"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(texts.msg(Msg::InfoCaption));
    setFixedSize(360, 330);

    auto *lay = new QVBoxLayout(this);
    auto *title = new QLabel(QStringLiteral("*  V.O.R.N.  *"), this);
    QFont f = title->font();
    f.setPointSize(18);
    f.setBold(true);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);
    auto *version = new QLabel(QStringLiteral("Version 2.0"), this);
    version->setAlignment(Qt::AlignCenter);
    auto *credits = new QLabel(QStringLiteral("Credits :"), this);
    banner_ = new CreditsBanner(creditLines(), this);
    auto *back = new QPushButton(texts.msg(Msg::Back), this);
    back->setObjectName(QStringLiteral("bt_back"));
    back->setDefault(true);
    connect(back, &QPushButton::clicked, this, &InfoDialog::bt_backClick);
    lay->addWidget(title);
    lay->addWidget(version);
    lay->addWidget(credits);
    lay->addWidget(banner_, 1);
    lay->addWidget(back, 0, Qt::AlignHCenter);

    if (QScreen *s = parent ? parent->screen() : QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

void InfoDialog::bt_backClick()
{
    banner_->stop();
    accept();
}

} // namespace vorn
