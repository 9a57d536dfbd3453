// The logic library stays free of widgets: only *_view, *_dialog, *_widget, *_part files, the main
// window and src/widgets/ may include QtWidgets headers.
#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

class TstLayering : public QObject {
    Q_OBJECT
private slots:
    void coreHasNoWidgets();
};

void TstLayering::coreHasNoWidgets()
{
    const QString src = qEnvironmentVariable("VORN_SOURCE_DIR") + QStringLiteral("/src");
    QVERIFY2(QFileInfo::exists(src), qPrintable(src));
    const QRegularExpression widgetInclude(QStringLiteral(
        R"(#include\s*<(QtWidgets/|QWidget|QMainWindow|QDialog|QAbstractButton|QPushButton|QToolButton|QLabel|)"
        R"(QMessageBox|QFileDialog|QTreeView|QListView|QTableWidget|QApplication|QScrollArea|QSlider|QMenu)\b)"));
    const QRegularExpression uiFile(
        QStringLiteral(R"((_view|_dialog|_widget|_part|main_window)\.(cpp|h)$|/widgets/|/main\.cpp$)"));
    QStringList offenders;
    int checked = 0;
    QDirIterator it(src, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
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

QTEST_GUILESS_MAIN(TstLayering)
#include "tst_layering.moc"
