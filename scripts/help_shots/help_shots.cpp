// Takes the screenshots of the help pages: the main window with sample files, in German and
// in English, written as d_shot_*.png and e_shot_*.png into the folder given as argument.
// Run through scripts/make-help-shots.sh, which starts it under xvfb.
#include "app/main_window.h"
#include "files/file_list_view.h"
#include "files/list_area_view.h"
#include "viewers/documents/text_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

using namespace vorn;

namespace
{

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray picture(int w, int h, const QColor &a, const QColor &b)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    p.fillRect(image.rect(), g);
    p.setBrush(QColor(255, 255, 255, 120));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRect(w / 4, h / 5, w / 2, h / 2));
    p.end();
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    image.save(&buf, "JPG", 85);
    return bytes;
}

// Lets the window settle: pending events, background decodes, layouts.
void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
}

void shoot(MainWindow &w, const QString &file)
{
    settle();
    w.grab().save(file, "PNG");
}

void click(MainWindow &w, const char *name)
{
    if (auto *b = w.findChild<QAbstractButton *>(QString::fromLatin1(name)))
        b->click();
    settle();
}

// Selects a file of the folder list and shows it, as a click would.
void showFile(MainWindow &w, const QString &folder, const QString &name)
{
    QTreeView *lv = w.listArea()->folderList();
    const QModelIndexList hits =
        lv->model()->match(lv->model()->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly);
    if (!hits.isEmpty())
        lv->setCurrentIndex(hits.first());
    w.show_file(folder + QLatin1Char('/') + name);
    settle();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: help_shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    QTemporaryDir home;
    // The sample pictures go to ~/Pictures/Holiday 2024 (removed again afterwards), so the folder
    // tree shows a plain home folder rather than the temporary folders of the machine.
    const QString photos = QDir::homePath() + QStringLiteral("/Pictures/Holiday 2024");
    if (QFileInfo::exists(photos)) {
        fprintf(stderr, "%s exists already; not touching it\n", qPrintable(photos));
        return 1;
    }
    const bool madePictures = !QFileInfo::exists(QDir::homePath() + QStringLiteral("/Pictures"));
    const QList<QPair<QColor, QColor>> colours = {{QColor(30, 90, 160), QColor(230, 200, 120)},
                                                  {QColor(20, 120, 60), QColor(200, 230, 250)},
                                                  {QColor(160, 40, 40), QColor(250, 220, 160)},
                                                  {QColor(60, 60, 120), QColor(240, 240, 255)}};
    for (int i = 0; i < 12; ++i) {
        const auto &c = colours[i % colours.size()];
        write(photos + QStringLiteral("/IMG_%1.jpg").arg(4711 + i), picture(1200, 800, c.first, c.second));
    }
    write(photos + QStringLiteral("/notes.txt"),
          "Holiday 2024\r\n\r\nDay 1: arrival, walk along the harbour.\r\nDay 2: boat trip to the island.\r\n"
          "Day 3: market in the old town, museum.\r\n");
    write(
        photos + QStringLiteral("/index.html"),
        "<html><head><title>Holiday 2024</title></head><body><h1>Holiday 2024</h1>"
        "<p>Twelve pictures of two weeks by the sea.</p><ul><li><a href=\"IMG_4711.jpg\">The harbour</a></li>"
        "<li><a href=\"IMG_4712.jpg\">Boat trip</a></li><li><a href=\"notes.txt\">Notes</a></li></ul>"
        "<p>Write to <a href=\"mailto:me@example.org\">me@example.org</a>.</p></body></html>");

    StartOptions o;
    o.programDir = home.path();
    o.showSplash = false;
    MainWindow w(o);
    w.resize(800, 600);
    w.show();
    settle();

    for (int lang : {0, 1}) {
        const QString prefix =
            out + QLatin1Char('/') + QLatin1String(lang == 0 ? "d" : "e") + QStringLiteral("_shot_");
        w.context().setLanguage(lang);
        w.applyTexts();
        click(w, "bt_showview");
        w.listArea()->openFolder(photos);
        settle();
        if (auto *fit = w.findChild<QAbstractButton *>(QStringLiteral("bt_bestfit"));
            fit && !fit->isChecked())
            fit->click();
        showFile(w, photos, QStringLiteral("IMG_4713.jpg"));
        shoot(w, prefix + QStringLiteral("main.png"));
        click(w, "bt_sorttofolder");
        shoot(w, prefix + QStringLiteral("sort.png"));
        click(w, "bt_sorttofolder");
        showFile(w, photos, QStringLiteral("index.html"));
        shoot(w, prefix + QStringLiteral("html.png"));
        showFile(w, photos, QStringLiteral("notes.txt"));
        w.textView()->bt_texthexClick();
        shoot(w, prefix + QStringLiteral("text.png"));
        w.textView()->bt_textnormClick();
        click(w, "bt_showzip");
        shoot(w, prefix + QStringLiteral("zip.png"));
        click(w, "bt_showrename");
        shoot(w, prefix + QStringLiteral("rename.png"));
        click(w, "bt_showview");
    }
    w.hide();
    QDir(photos).removeRecursively();
    if (madePictures)
        QDir().rmdir(QDir::homePath() + QStringLiteral("/Pictures"));
    return 0;
}
