// The help view on the real main window: every topic button in both languages loads an
// existing page that holds the topic's anchor; F1, closing, and pages put back when missing.
#include "app/view_stack_view.h"
#include "support/test_support.h"
#include "viewers/documents/help_topics.h"
#include "viewers/documents/help_view.h"
#include "widgets/html_browser.h"

#include <QPushButton>

using namespace vorn;
using namespace vorn::test;

class TstHelpView : public QObject
{
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void topicsInBothLanguages();
    void helpStartAndClose();
    void shippedPagesHaveTheirPictures();

  private:
    std::unique_ptr<WindowFixture> fx;
};

void TstHelpView::init()
{
    fx = std::make_unique<WindowFixture>();
    fx->start();
}

void TstHelpView::cleanup()
{
    if (fx->window)
        fx->closeConfirmed();
    fx.reset();
}

void TstHelpView::topicsInBothLanguages()
{
    HelpView *help = fx->window->helpView();
    for (int language : {0, 1}) {
        fx->window->context().setLanguage(language);
        fx->window->applyTexts();
        for (int i = 0; i < kHelpTopicCount; ++i) {
            const HelpTopic &t = kHelpTopics[i];
            const QString what =
                QStringLiteral("%1 in language %2").arg(QLatin1String(t.button)).arg(language);
            QPushButton *b = help->topicButton(QString::fromLatin1(t.button));
            QVERIFY2(b, qPrintable(what));
            QCOMPARE(b->property("tag").toInt(), t.tag);
            QCOMPARE(b->text(), fx->window->context().texts().caption(QString::fromLatin1(t.button)));
            b->click();
            QCOMPARE(fx->window->views()->front(), View::Help);
            const QString page = help->currentPage();
            QCOMPARE(page, fx->window->context().paths().helpDir + help_topic_page(t, language));
            QVERIFY2(QFileInfo::exists(page.section(QLatin1Char('#'), 0, 0)), qPrintable(what));
            QVERIFY2(help->browser()->hasAnchor(page.section(QLatin1Char('#'), 1)), qPrintable(what));
        }
    }
    // Captions keep their leading blanks.
    QCOMPARE(help->topicButton(QStringLiteral("hlp_betrachter"))->text(), QStringLiteral("       Viewer"));
}

void TstHelpView::helpStartAndClose()
{
    fx->window->context().setLanguage(0);
    const View before = fx->window->views()->front();
    QTest::keyClick(fx->window.get(), Qt::Key_F1);
    QCOMPARE(fx->window->views()->front(), View::Help);
    QCOMPARE(fx->window->helpView()->currentPage(),
             fx->window->context().paths().helpDir + QStringLiteral("d_main.htm"));
    QVERIFY(!fx->window->helpView()->browser()->documentTitle().isEmpty());
    fx->window->helpView()->topicButton(QStringLiteral("hlp_ende"))->click();
    QCOMPARE(fx->window->views()->front(), before); // the view help was opened over
    // A page the user removed comes back from the shipped set; one the user changed stays.
    const QString dir = fx->window->context().paths().helpDir;
    QVERIFY(QFile::remove(dir + QStringLiteral("e_main.htm")));
    writeFile(dir + QStringLiteral("e_zip.htm"), "<title>Mine</title>");
    fx->window->context().setLanguage(1);
    fx->window->bt_helpclick();
    QVERIFY(QFileInfo::exists(dir + QStringLiteral("e_main.htm")));
    QVERIFY(!fx->window->helpView()->browser()->documentTitle().isEmpty());
    QCOMPARE(readFile(dir + QStringLiteral("e_zip.htm")), QByteArray("<title>Mine</title>"));
}

void TstHelpView::shippedPagesHaveTheirPictures()
{
    // Every picture a shipped page names is shipped too.
    const QStringList shipped = shipped_help_files();
    for (const QString &name : shipped) {
        if (!name.endsWith(QLatin1String(".htm")))
            continue;
        const QString text = QString::fromUtf8(readFile(QStringLiteral(":/help/") + name));
        static const QRegularExpression img(QStringLiteral("<img src=\"([^\"]+)\""));
        for (auto it = img.globalMatch(text); it.hasNext();) {
            const QString pic = it.next().captured(1);
            QVERIFY2(shipped.contains(pic), qPrintable(name + QStringLiteral(": ") + pic));
        }
    }
}

QTEST_MAIN(TstHelpView)
#include "tst_help_view.moc"
