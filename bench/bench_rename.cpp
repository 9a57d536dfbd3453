// Renaming 10,000 files of one folder by a numbering pattern on the real main window: the
// preview (new names built and checked against the folder) and the journaled rename run, side
// by side with a shell loop of `mv -n` giving the same files the same names. The preview is
// also shown as a ratio to listing the folder in the rename view. Files live in a temporary
// folder under /tmp, removed at the end.
#include "app/main_window.h"
#include "bench_util.h"
#include "bench_window.h"
#include "rename/rename_list_model.h"
#include "rename/rename_run.h"
#include "rename/rename_view.h"
#include "support/scripted_prompter.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace vorn;

namespace
{

constexpr int kFiles = 10000;

void makeFiles(const QString &folder)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray p =
            QFile::encodeName(folder + QStringLiteral("/img_%1.JPG").arg(i, 5, 10, QLatin1Char('0')));
        const int fd = ::open(p.constData(), O_CREAT | O_WRONLY | O_EXCL, 0644);
        if (fd < 0)
            qFatal("cannot create %s", p.constData());
        ::close(fd);
    }
}

template <class Pred> void waitFor(Pred done)
{
    QElapsedTimer wait;
    wait.start();
    while (!done() && wait.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!done())
        qFatal("timed out");
}

// The shell loop a user would write: one mv -n per file, the same new names.
double mvLoop(const QString &folder)
{
    makeFiles(folder);
    const QString script =
        QStringLiteral("cd \"$1\" && i=1 && for f in img_*.JPG; do printf -v n 'Urlaub%05d.jpg' $i; "
                       "mv -n -- \"$f\" \"$n\"; i=$((i+1)); done");
    const double ms = bench::shellLoopMs(QStringLiteral("bash"), script, {QStringLiteral("bash"), folder});
    if (!QFileInfo::exists(folder + QStringLiteral("/Urlaub10000.jpg")))
        qFatal("the mv loop did not rename every file");
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    bench::offscreenUnlessChosen();
    QApplication app(argc, argv);
    bench::BenchWindow bw(QStringLiteral("rename"));
    const QString root = bw.root();
    MainWindow &w = bw.window();
    ScriptedPrompter &prompter = bw.prompter();
    w.show();
    QCoreApplication::processEvents();
    w.findChild<QAbstractButton *>(QStringLiteral("bt_showrename"))->click();
    RenameView *view = w.renameView();
    auto *list = w.findChild<QAbstractItemView *>(QStringLiteral("lvrename"));

    bench::printLoad("before");
    // The shell loop and the window's run alternate; the best of three of each figure counts.
    constexpr int kRounds = 3;
    double mvMs = 1e30, listMs = 1e30, selectionMs = 1e30, namesMs = 1e30, checkMs = 1e30, previewMs = 1e30,
           renameMs = 1e30, bothMs = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        mvMs = std::min(mvMs, mvLoop(root + QStringLiteral("/mv")));

        // A folder of its own each round: the view lists a new folder, as a user opens one.
        const QString folder = root + QStringLiteral("/files%1").arg(round);
        makeFiles(folder);
        QElapsedTimer t;
        t.start();
        view->setFolder(folder);
        listMs = std::min(listMs, t.nsecsElapsed() / 1e6);
        if (list->model()->rowCount() != kFiles)
            qFatal("listed %d of %d", list->model()->rowCount(), kFiles);

        if (round == 0) { // the pattern: "Urlaub", numbers of five digits
            w.findChild<QLineEdit *>(QStringLiteral("ed_vortext"))->setText(QStringLiteral("Urlaub"));
            w.findChild<QAbstractButton *>(QStringLiteral("bt_nofill"))->click();
            for (int i = 0; i < 4; ++i)
                w.findChild<QAbstractButton *>(QStringLiteral("bt_fillup"))->click();
        }
        w.findChild<QAbstractButton *>(QStringLiteral("bt_rename"))->click();

        // The parts of the preview on their own: names from the pattern, the check against the folder.
        t.restart();
        const QStringList names = view->selectedNames();
        selectionMs = std::min(selectionMs, t.nsecsElapsed() / 1e6);
        t.restart();
        QList<RenameRow> rows;
        qint64 n = 1;
        for (const QString &name : names)
            rows << RenameRow{name, view->pattern().newName(name, n++, QStringLiteral("Dateiname"))};
        namesMs = std::min(namesMs, t.nsecsElapsed() / 1e6);
        t.restart();
        check_renames(folder, rows);
        checkMs = std::min(checkMs, t.nsecsElapsed() / 1e6);

        t.restart();
        w.findChild<QAbstractButton *>(QStringLiteral("bt_prevrename"))->click();
        const double preview = t.nsecsElapsed() / 1e6;

        t.restart();
        w.findChild<QAbstractButton *>(QStringLiteral("bt_renameall"))->click();
        waitFor([&] { return !view->isBusy(); });
        const double rename = t.nsecsElapsed() / 1e6;
        if (!prompter.messages().isEmpty() ||
            !QFileInfo::exists(folder + QStringLiteral("/Urlaub10000.jpg")) ||
            QFileInfo::exists(folder + QStringLiteral("/img_00000.JPG")))
            qFatal("round %d: the run did not rename every file: %s %d %d", round,
                   qPrintable(prompter.messages().join(QLatin1Char('|'))),
                   int(QFileInfo::exists(folder + QStringLiteral("/Urlaub10000.jpg"))),
                   int(QFileInfo::exists(folder + QStringLiteral("/img_00000.JPG"))));
        previewMs = std::min(previewMs, preview);
        renameMs = std::min(renameMs, rename);
        bothMs = std::min(bothMs, preview + rename);
    }
    bench::printLoad("after");

    std::printf(
        "renaming %d files of one folder (img_NNNNN.JPG -> UrlaubNNNNN.jpg), best of %d alternating runs\n",
        kFiles, kRounds);
    std::printf("  %-46s %10.1f ms\n", "shell loop of mv -n", mvMs);
    std::printf("  %-46s %10.1f ms\n", "vorn: listing the folder in the rename view", listMs);
    std::printf("  %-46s %10.1f ms   ratio to listing %.2f\n", "vorn: preview", previewMs,
                previewMs / listMs);
    std::printf("    %-44s %10.1f ms\n", "of it: the selection in list order", selectionMs);
    std::printf("    %-44s %10.1f ms\n", "of it: new names from the pattern", namesMs);
    std::printf("    %-44s %10.1f ms\n", "of it: check against the folder", checkMs);
    std::printf("  %-46s %10.1f ms\n", "vorn: rename run (journaled, checked again)", renameMs);
    std::printf("  %-46s %10.1f ms   ratio to the mv loop %.3f\n", "vorn: preview + rename", bothMs,
                bothMs / mvMs);
    bench::reportRow("rename 10,000 files: preview", QStringLiteral("%1 ms").arg(previewMs, 0, 'f', 1),
                     QStringLiteral("< 200 ms"), previewMs < 200);
    bench::reportRow("rename 10,000 files: preview + rename", bench::ratioText(bothMs / mvMs, "mv -n loop"),
                     QStringLiteral("< 1.00 x"), bothMs < mvMs);
    prompter.pushAnswer(Answer::Yes);
    w.close();
    return 0;
}
