// The HTML view on the real main window: links to the desktop and to the renderer, the
// history buttons, the source view and hostile pages.
#include "app/view_stack_view.h"
#include "support/test_support.h"
#include "viewers/documents/html_view.h"
#include "widgets/html_browser.h"
#include "widgets/panel_status_bar.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QTextBlock>
#include <QToolButton>
#include <QUrl>

using namespace vorn;
using namespace vorn::test;

// Receives what the view hands to the desktop.
class DesktopSpy : public QObject
{
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TstHtmlView : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void showsPageWithoutImages();
    void webAndMailLinksGoToDesktop_data();
    void webAndMailLinksGoToDesktop();
    void localLinks();
    void historyButtons();
    void sourceViewStaysDown();
    void historyKeepsForty();
    void hostilePageShownAsSource();
    void scriptLinkNotToDesktop();
    void pagesBeyondTheRendererShownWrapped_data();
    void pagesBeyondTheRendererShownWrapped();

  private:
    HtmlView *view() const { return fx->window->htmlView(); }
    QToolButton *button(const char *name) const { return view()->button(name); }
    QString page(const QString &name, const QByteArray &html)
    {
        const QString p = fx->path(name);
        writeFile(p, html);
        return p;
    }
    std::unique_ptr<WindowFixture> fx;
    DesktopSpy spy;
};

void TstHtmlView::initTestCase()
{
    for (const char *scheme : {"http", "https", "mailto", "file", "javascript"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &spy, "open");
}

void TstHtmlView::cleanupTestCase()
{
    for (const char *scheme : {"http", "https", "mailto", "file", "javascript"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

void TstHtmlView::init()
{
    spy.urls.clear();
    fx = std::make_unique<WindowFixture>();
    fx->start();
}

void TstHtmlView::cleanup()
{
    if (fx->window)
        fx->closeConfirmed();
    fx.reset();
}

void TstHtmlView::showsPageWithoutImages()
{
    QVERIFY(!button("bt_htmlback")->isEnabled());
    QVERIFY(!button("bt_htmltext")->isEnabled());
    const QString p =
        page(QStringLiteral("a.htm"), "<html><head><title>First page</title></head><body><img src=\"x.png\">"
                                      "<p>Hello <a href=\"b.htm\">next</a></p></body></html>");
    fx->window->show_file(p);
    QCOMPARE(fx->window->views()->front(), View::Html);
    QCOMPARE(view()->statusBar()->panelText(0), QStringLiteral("First page"));
    QVERIFY(view()->browser()->toPlainText().contains(QStringLiteral("Hello next")));
    QVERIFY(button("bt_htmltext")->isEnabled());
    QVERIFY(button("bt_htmlclearlist")->isEnabled());
    QVERIFY(!button("bt_htmlcopytclip")->isEnabled());
    view()->browser()->selectAll();
    view()->html1MouseUp();
    QVERIFY(button("bt_htmlcopytclip")->isEnabled());
    // A missing file leaves the view as it was.
    fx->window->show_file(fx->path(QStringLiteral("missing.htm")));
    QVERIFY(view()->browser()->toPlainText().contains(QStringLiteral("Hello")));
}

void TstHtmlView::webAndMailLinksGoToDesktop_data()
{
    QTest::addColumn<QString>("link");
    QTest::newRow("web") << "http://example.org/page";
    QTest::newRow("web, capitals") << "HTTP://EXAMPLE.ORG/";
    QTest::newRow("secure web") << "https://example.org/";
    QTest::newRow("mail, mixed case") << "MailTo:someone@example.org";
}

void TstHtmlView::webAndMailLinksGoToDesktop()
{
    QFETCH(QString, link);
    const QString p = page(QStringLiteral("a.htm"), "<title>A</title><p>start</p>");
    fx->window->show_file(p);
    view()->html1HotSpotClick(link);
    QCOMPARE(spy.urls.size(), 1);
    QCOMPARE(spy.urls.first().toString().toLower(), QUrl(link).toString().toLower());
    QCOMPARE(view()->history().count(), 1); // the renderer did not follow it
    QVERIFY(view()->browser()->toPlainText().contains(QStringLiteral("start")));
}

void TstHtmlView::localLinks()
{
    const QString p = page(QStringLiteral("site/a.htm"), "<title>A</title>");
    page(QStringLiteral("site/pics/p.jpg"), "not really a picture");
    page(QStringLiteral("site/b.htm"), "<title>B</title><p><a name=\"here\">B text</a></p>");
    page(QStringLiteral("site/SOUND.WAV"), "RIFF");
    fx->window->show_file(p);

    // A sound goes to the view's media engine, never to the desktop.
    view()->html1HotSpotClick(QStringLiteral("SOUND.WAV"));
    QVERIFY(spy.urls.isEmpty());
    QStringList played;
    view()->setSoundPlayer([&](const QString &f) { played << f; });
    view()->html1HotSpotClick(QStringLiteral("SOUND.WAV"));
    QCOMPARE(played, QStringList{fx->path(QStringLiteral("site/SOUND.WAV"))});
    QVERIFY(spy.urls.isEmpty());

    // A picture with parameters: the name before "?" expanded against the page.
    view()->html1HotSpotClick(QStringLiteral("pics/p.jpg?w=10"));
    QCOMPARE(spy.urls.last(), QUrl::fromLocalFile(fx->path(QStringLiteral("site/pics/p.jpg"))));
    QCOMPARE(view()->history().count(), 1);

    // A page is followed by the renderer and joins the history.
    view()->html1HotSpotClick(QStringLiteral("b.htm#here"));
    QCOMPARE(view()->history().count(), 2);
    QCOMPARE(view()->statusBar()->panelText(0), QStringLiteral("B"));
    QCOMPARE(view()->history().entry(0).source, fx->path(QStringLiteral("site/b.htm#here")));
}

void TstHtmlView::historyButtons()
{
    for (const char *n : {"h1.htm", "h2.htm", "h3.htm"})
        fx->window->show_file(page(QString::fromLatin1(n), "<title>" + QByteArray(n) + "</title>"));
    QVERIFY(button("bt_htmlback")->isEnabled());
    QVERIFY(!button("bt_htmlnext")->isEnabled());
    QCOMPARE(view()->historyBox()->count(), 3);
    button("bt_htmlback")->click();
    QVERIFY(button("bt_htmlback")->isEnabled());
    QVERIFY(button("bt_htmlnext")->isEnabled());
    QCOMPARE(view()->statusBar()->panelText(0), QStringLiteral("h2.htm"));
    QCOMPARE(fx->window->windowTitle(), QStringLiteral("h2.htm"));
    QCOMPARE(view()->historyBox()->currentIndex(), 1);
    button("bt_htmlback")->click();
    QVERIFY(!button("bt_htmlback")->isEnabled());
    button("bt_htmlnext")->click();
    button("bt_htmlnext")->click();
    QCOMPARE(view()->statusBar()->panelText(0), QStringLiteral("h3.htm"));
    // The drop-down sets the index.
    view()->cb_htmlChange(2);
    QCOMPARE(view()->statusBar()->panelText(0), QStringLiteral("h1.htm"));
    button("bt_htmlclearlist")->click();
    QCOMPARE(view()->historyBox()->count(), 0);
    QVERIFY(!button("bt_htmlclearlist")->isEnabled());
    QVERIFY(!button("bt_htmlback")->isEnabled());
}

void TstHtmlView::sourceViewStaysDown()
{
    fx->window->show_file(page(QStringLiteral("s1.htm"), "<title>S</title><b>bold</b>"));
    button("bt_htmltext")->click();
    QVERIFY(button("bt_htmltext")->isChecked());
    QCOMPARE(view()->browser()->toPlainText(), QStringLiteral("<title>S</title><b>bold</b>"));
    fx->window->show_file(page(QStringLiteral("s2.htm"), "<i>second</i>"));
    QCOMPARE(view()->browser()->toPlainText(), QStringLiteral("<i>second</i>"));
    button("bt_htmltext")->click(); // released: rendered again
    QCOMPARE(view()->browser()->toPlainText(), QStringLiteral("second"));
}

void TstHtmlView::historyKeepsForty()
{
    for (int i = 0; i < 42; ++i)
        fx->window->show_file(page(QStringLiteral("p%1.htm").arg(i), "<p>x</p>"));
    QCOMPARE(view()->history().count(), 40);
    QCOMPARE(view()->historyBox()->count(), 40);
}

void TstHtmlView::hostilePageShownAsSource()
{
    const QByteArray deep = QByteArray("<div>").repeated(5000) + "deep";
    fx->window->show_file(page(QStringLiteral("deep.htm"), deep));
    QCOMPARE(fx->prompter.lastMessage(), fx->window->context().msg(Msg::PageAsSource));
    QVERIFY(view()->browser()->toPlainText().startsWith(QStringLiteral("<div><div>")));
}

void TstHtmlView::scriptLinkNotToDesktop()
{
    fx->window->show_file(page(QStringLiteral("s.htm"), "<p>start</p>"));
    spy.urls.clear();
    view()->html1HotSpotClick(QStringLiteral("javascript:window.open('http://example.org/')"));
    QVERIFY(spy.urls.isEmpty());
    QVERIFY(view()->browser()->toPlainText().contains(QStringLiteral("start")));
}

void TstHtmlView::pagesBeyondTheRendererShownWrapped_data()
{
    QTest::addColumn<QByteArray>("markup");
    // The renderer crashed on the first two and froze on the others: each is shown as source,
    // in lines short enough to lay out at once.
    const QByteArray rows = QByteArray("<table><tr><td>").repeated(3000);
    QTest::newRow("<script></SCRIPT> and 3000 nested rows") << "<script></SCRIPT>" + rows;
    QTest::newRow("<script/> and 3000 nested rows") << "<script/>" + rows;
    QTest::newRow("<style></STYLE> and 200000 cells")
        << "<style></STYLE><table>" + QByteArray("<tr><td>x</td></tr>").repeated(200000) + "</table>";
    QTest::newRow("100000 unclosed <b>") << QByteArray("<b>x").repeated(100000);
    QTest::newRow("500000 <br>") << QByteArray("x<br>").repeated(500000);
    QTest::newRow("200000 <li>") << "<ul>" + QByteArray("<li>x").repeated(200000);
    QTest::newRow("5 MB on one line") << QByteArray("word ").repeated(1 << 20);
}

void TstHtmlView::pagesBeyondTheRendererShownWrapped()
{
    QFETCH(QByteArray, markup);
    fx->window->show_file(page(QStringLiteral("hostile.htm"), markup));
    QCOMPARE(fx->prompter.lastMessage(), fx->window->context().msg(Msg::PageAsSource));
    const QTextDocument *doc = view()->browser()->document();
    QVERIFY(doc->characterCount() > 1000);
    int longest = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        longest = qMax(longest, b.length());
    QVERIFY2(longest <= 1001, qPrintable(QString::number(longest)));
    QVERIFY(view()->browser()->toPlainText().startsWith(QString::fromLatin1(markup.left(20))));
}

QTEST_MAIN(TstHtmlView)
#include "tst_html_view.moc"
