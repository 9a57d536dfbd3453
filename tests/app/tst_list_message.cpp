// The list message of the running program: a list of any length scrolls inside a dialog that
// stays on the screen with its button in reach; a short list gives a small dialog.
#include "app/list_message_dialog.h"
#include "app/prompter_dialog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

using namespace vorn;

class TstListMessage : public QObject
{
    Q_OBJECT
  private slots:
    void staysOnTheScreen_data();
    void staysOnTheScreen();
    void promptShowsAndReturns();
};

void TstListMessage::staysOnTheScreen_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("width"); // characters per line
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("three short lines") << 3 << 12 << false;
    QTest::newRow("200 failed pictures") << 200 << 40 << true;
    QTest::newRow("20,000 long lines") << 20000 << 400 << true;
}

void TstListMessage::staysOnTheScreen()
{
    QFETCH(int, count);
    QFETCH(int, width);
    QFETCH(bool, scrolls);
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("%1 ").arg(i) + QString(width, QLatin1Char('m'));
    ListMessageDialog dialog(QStringLiteral("These files were not sorted:\r\n"), lines, PromptIcon::Error,
                             {});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QRect screen = dialog.screen()->availableGeometry();
    QVERIFY2(screen.contains(dialog.frameGeometry()), "the dialog leaves the screen");
    QPushButton *ok = dialog.okButton();
    QVERIFY(ok->isVisible());
    QVERIFY(dialog.rect().contains(QRect(ok->mapTo(&dialog, QPoint(0, 0)), ok->size())));
    QCOMPARE(dialog.list()->blockCount(), count);
    QCOMPARE(dialog.list()->verticalScrollBar()->maximum() > 0, scrolls);
    if (!scrolls)
        QVERIFY(dialog.height() < screen.height() / 2);
}

// The running program's Prompter shows the dialog modally and returns when it is closed.
void TstListMessage::promptShowsAndReturns()
{
    DialogPrompter prompter;
    bool seen = false;
    QTimer::singleShot(0, [&seen] {
        auto *d = qobject_cast<ListMessageDialog *>(QApplication::activeModalWidget());
        QVERIFY(d);
        seen = d->list()->toPlainText() == QLatin1String("a.jpg\nb.jpg");
        d->okButton()->click();
    });
    prompter.listMessage(QStringLiteral("These files were not sorted:"), {"a.jpg", "b.jpg"},
                         PromptIcon::Error);
    QVERIFY(seen);
}

QTEST_MAIN(TstListMessage)
#include "tst_list_message.moc"
