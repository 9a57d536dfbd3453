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

#include <algorithm>
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

// Runs the event loop until done; returns the longest time one turn of it took, which is the
// longest the window did not answer meanwhile.
template <class Pred> double waitFor(Pred done)
{
    QElapsedTimer wait;
    wait.start();
    double longest = 0;
    while (!done() && wait.elapsed() < 120000) {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        longest = std::max(longest, turn.nsecsElapsed() / 1e6);
    }
    if (!done())
        qFatal("timed out");
    return longest;
}

// Files 1.jpg ... kFiles.jpg, each to be renamed to the next number.
void makeNumbered(const QString &folder)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    for (int i = 1; i <= kFiles; ++i) {
        const QByteArray p = QFile::encodeName(folder + QStringLiteral("/%1.jpg").arg(i));
        const int fd = ::open(p.constData(), O_CREAT | O_WRONLY | O_EXCL, 0644);
        if (fd < 0)
            qFatal("cannot create %s", p.constData());
        ::close(fd);
    }
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
    // The swap: 1.jpg ... 10000.jpg renamed starting at 2, every new name but the last an old
    // name of the run. Against a shell loop that renames from the highest number down.
    makeNumbered(root + QStringLiteral("/mvswap"));
    const double mvSwapMs = bench::shellLoopMs(
        QStringLiteral("bash"),
        QStringLiteral("cd \"$1\" && for ((i=%1; i>=1; i--)); do mv -n -- \"$i.jpg\" \"$((i+1)).jpg\"; done")
            .arg(kFiles),
        {QStringLiteral("bash"), root + QStringLiteral("/mvswap")});
    const QString swapFolder = root + QStringLiteral("/swap");
    makeNumbered(swapFolder);
    view->setFolder(swapFolder);
    w.findChild<QLineEdit *>(QStringLiteral("ed_vortext"))->setText(QString());
    w.findChild<QAbstractButton *>(QStringLiteral("bt_nofill"))->click(); // fill off
    w.findChild<QLineEdit *>(QStringLiteral("ed_start"))->setText(QStringLiteral("2"));
    w.findChild<QAbstractButton *>(QStringLiteral("bt_rename"))->click();
    QElapsedTimer swapTimer;
    swapTimer.start();
    w.findChild<QAbstractButton *>(QStringLiteral("bt_prevrename"))->click();
    w.findChild<QAbstractButton *>(QStringLiteral("bt_renameall"))->click();
    const double swapStallMs = waitFor([&] { return !view->isBusy(); });
    const double swapMs = swapTimer.nsecsElapsed() / 1e6;
    const QStringList selected = view->selectedNames();
    if (!prompter.messages().isEmpty() || selected.size() != kFiles ||
        !selected.contains(QStringLiteral("10001.jpg")) || selected.contains(QStringLiteral("1.jpg")))
        qFatal("the swap did not rename and select every file");

    // A rename in place with the runs above in the journal: one record appended, not a rewrite.
    QElapsedTimer f2;
    f2.start();
    list->model()->setData(list->model()->index(0, 0), QStringLiteral("f2.jpg"));
    const double f2Ms = f2.nsecsElapsed() / 1e6;
    if (!QFileInfo::exists(swapFolder + QStringLiteral("/f2.jpg")))
        qFatal("the rename in place did not happen");
    waitFor([&] { return !view->isBusy(); });
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
    std::printf("  %-46s %10.1f ms\n", "shell loop of mv -n, highest number first", mvSwapMs);
    std::printf("  %-46s %10.1f ms   ratio to the mv loop %.3f\n", "vorn: swap 1..10000 -> 2..10001", swapMs,
                swapMs / mvSwapMs);
    std::printf("  %-46s %10.1f ms\n", "vorn: longest the window did not answer", swapStallMs);
    std::printf("  %-46s %10.1f ms\n", "vorn: rename in place, 4 runs journaled", f2Ms);
    bench::reportRow("rename 10,000 files: swap, longest stall",
                     QStringLiteral("%1 ms").arg(swapStallMs, 0, 'f', 1), QStringLiteral("< 250 ms"),
                     swapStallMs < 250);
    bench::reportRow("rename 10,000 files: swap", bench::ratioText(swapMs / mvSwapMs, "mv -n loop"),
                     QStringLiteral("< 1.00 x"), swapMs < mvSwapMs);
    bench::reportRow("rename in place, 40,000 files journaled", QStringLiteral("%1 ms").arg(f2Ms, 0, 'f', 1),
                     QStringLiteral("< 250 ms"), f2Ms < 250);
    prompter.pushAnswer(Answer::Yes);
    w.close();
    return 0;
}
