// The logic library stays free of widgets: only *_view, *_dialog, *_widget files, the main
// window and src/widgets/ may include QtWidgets headers; the install files (*_part) create
// views and connect them, and build no widgets themselves. The folders form layers: a folder
// includes only itself and the folders below it, so nothing includes app/ and no two folders
// include each other, directly or through others.
#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

class TstLayering : public QObject
{
    Q_OBJECT
  private slots:
    void coreHasNoWidgets();
    void includesRunDownward();
};

void TstLayering::coreHasNoWidgets()
{
    const QString src = qEnvironmentVariable("VORN_SOURCE_DIR") + QStringLiteral("/src");
    QVERIFY2(QFileInfo::exists(src), qPrintable(src));
    const QRegularExpression widgetInclude(QStringLiteral(
        R"(#include\s*<(QtWidgets/|QWidget|QMainWindow|QDialog|QAbstractButton|QPushButton|QToolButton|QLabel|)"
        R"(QMessageBox|QFileDialog|QTreeView|QListView|QTableWidget|QApplication|QScrollArea|QSlider|QMenu|)"
        R"(QFrame|QLayout|QBoxLayout|QVBoxLayout|QHBoxLayout|QGridLayout|QSplitter|QTabWidget|QLineEdit|)"
        R"(QComboBox|QCheckBox|QProgressBar|QStyle|QShortcut|QHeaderView|QScrollBar|QButtonGroup)\b)"));
    const QRegularExpression uiFile(
        QStringLiteral(R"((_view|_dialog|_widget|main_window)\.(cpp|h)$|/widgets/|/main\.cpp$)"));
    QStringList offenders;
    int checked = 0;
    QDirIterator it(src, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (uiFile.match(path).hasMatch())
            continue;
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        ++checked;
        if (widgetInclude.match(QString::fromUtf8(f.readAll())).hasMatch())
            offenders << path.mid(src.size() + 1);
    }
    QVERIFY(checked > 20);
    QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join(QLatin1Char(' '))));
}

void TstLayering::includesRunDownward()
{
    // Bottom to top.
    const QStringList layers = {
        QStringLiteral("base"),    QStringLiteral("lang"),     QStringLiteral("codecs"),
        QStringLiteral("widgets"), QStringLiteral("files"),    QStringLiteral("viewers"),
        QStringLiteral("sorting"), QStringLiteral("archives"), QStringLiteral("catalog"),
        QStringLiteral("rename"),  QStringLiteral("app")};
    const QString src = qEnvironmentVariable("VORN_SOURCE_DIR") + QStringLiteral("/src");
    const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s*"([a-z_]+)/)"),
                                     QRegularExpression::MultilineOption);
    QStringList offenders;
    int checked = 0;
    QDirIterator it(src, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = path.mid(src.size() + 1);
        const qsizetype slash = rel.indexOf(QLatin1Char('/'));
        if (slash < 0)
            continue; // main.cpp sits above every layer
        const QString folder = rel.left(slash);
        const qsizetype rank = layers.indexOf(folder);
        QVERIFY2(rank >= 0, qPrintable(QStringLiteral("folder without a layer: ") + folder));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        ++checked;
        auto m = include.globalMatch(QString::fromUtf8(f.readAll()));
        while (m.hasNext()) {
            const QString target = m.next().captured(1);
            const qsizetype targetRank = layers.indexOf(target);
            if (targetRank > rank)
                offenders << rel + QStringLiteral(" -> ") + target;
        }
    }
    QVERIFY(checked > 20);
    QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join(QStringLiteral(", "))));
}

QTEST_GUILESS_MAIN(TstLayering)
#include "tst_layering.moc"
