// The HTML core: the link rules, the history of 40 entries and the check of hostile pages.
#include "viewers/documents/help_topics.h"
#include "viewers/documents/html_guard.h"
#include "viewers/documents/html_history.h"
#include "viewers/documents/html_links.h"

#include <QtTest>

using namespace vorn;

Q_DECLARE_METATYPE(vorn::LinkAction)

class TstHtmlCore : public QObject
{
    Q_OBJECT
  private slots:
    void links_data();
    void links();
    void longLinkIsCut();
    void history();
    void historyKeepsForty();
    void guard_data();
    void guard();
    void sourceWrapped();
    void helpTopics();
};

namespace
{
const LinkContext kContext{QStringLiteral("/data/site/pages/index.htm"), QStringLiteral("/data/site"),
                           QStringLiteral("/data")};
}

void TstHtmlCore::links_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<LinkAction>("action");
    QTest::addColumn<bool>("local");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("params");
    QTest::addColumn<QString>("target");
    // A drive letter puts the colon at position 2: local; a sound, whatever the case.
    QTest::newRow("drive letter, .WAV") << "C:\\x.WAV" << LinkAction::PlaySound << true << "C:\\x.WAV"
                                        << ""
                                        << "/data/x.WAV";
    QTest::newRow("relative picture with ?")
        << "pics/a b.jpg?size=2" << LinkAction::Renderer << true << "pics/a"
        << "b.jpg?size=2"
        << "/data/site/pages/pics/a";
    QTest::newRow("question mark without blank")
        << "../img/p.jpg?w=1&h=2" << LinkAction::Renderer << true << "../img/p.jpg"
        << "w=1&h=2"
        << "/data/site/img/p.jpg";
    QTest::newRow("anchor on the same page") << "#top" << LinkAction::Renderer << true << "#top"
                                             << ""
                                             << "/data/site/pages/index.htm#top";
    QTest::newRow("page with anchor")
        << "sub/p.html#part" << LinkAction::Renderer << true << "sub/p.html#part"
        << ""
        << "/data/site/pages/sub/p.html#part";
    QTest::newRow("from the server root") << "/top.htm" << LinkAction::Renderer << true << "/top.htm"
                                          << ""
                                          << "/data/site/top.htm";
    QTest::newRow("program is opened, never run")
        << "tools/setup.exe -q" << LinkAction::OpenFile << true << "tools/setup.exe"
        << "-q"
        << "/data/site/pages/tools/setup.exe";
    QTest::newRow("midi") << "song.MID" << LinkAction::OpenFile << true << "song.MID"
                          << ""
                          << "/data/site/pages/song.MID";
    QTest::newRow("avi") << "film.avi" << LinkAction::OpenFile << true << "film.avi"
                         << ""
                         << "/data/site/pages/film.avi";
    QTest::newRow("file: URL") << "file:///tmp/s%20t.wav" << LinkAction::PlaySound << true
                               << "file:///tmp/s%20t.wav"
                               << ""
                               << "/tmp/s t.wav";
    QTest::newRow("file: anywhere makes it local")
        << "x-app:/file:z.htm" << LinkAction::Renderer << true << "x-app:/file:z.htm"
        << ""
        << "/data/site/pages/x-app:/file:z.htm";
    QTest::newRow("web link") << "http://example.org/a b" << LinkAction::OpenUrl << false << ""
                              << ""
                              << "http://example.org/a b";
    QTest::newRow("web link, capitals") << "HTTP://EXAMPLE.ORG" << LinkAction::OpenUrl << false << ""
                                        << ""
                                        << "HTTP://EXAMPLE.ORG";
    QTest::newRow("secure web link") << "https://example.org" << LinkAction::OpenUrl << false << ""
                                     << ""
                                     << "https://example.org";
    QTest::newRow("mail link, mixed case")
        << "MailTo:someone@example.org" << LinkAction::OpenUrl << false << ""
        << ""
        << "MailTo:someone@example.org";
    QTest::newRow("script naming a web address")
        << "javascript:window.open('http://example.org')" << LinkAction::Renderer << false << ""
        << ""
        << "";
    QTest::newRow("HTTP: inside another scheme")
        << "x-app:go?to=HTTP://example.org" << LinkAction::Renderer << false << ""
        << ""
        << "";
    QTest::newRow("web scheme without a host") << "http:nothing" << LinkAction::Renderer << false << ""
                                               << ""
                                               << "";
    QTest::newRow("other scheme stays with the renderer")
        << "javascript:alert(1)" << LinkAction::Renderer << false << ""
        << ""
        << "";
}

void TstHtmlCore::links()
{
    QFETCH(QString, link);
    QFETCH(LinkAction, action);
    QFETCH(bool, local);
    QFETCH(QString, name);
    QFETCH(QString, params);
    QFETCH(QString, target);
    const LinkDecision d = decide_link(link, kContext);
    QCOMPARE(d.action, action);
    QCOMPARE(d.local, local);
    QCOMPARE(d.name, name);
    QCOMPARE(d.params, params);
    QCOMPARE(d.target, target);
}

void TstHtmlCore::longLinkIsCut()
{
    const QString link = QString(300, QLatin1Char('a')) + QStringLiteral(".wav");
    const LinkDecision d = decide_link(link, kContext);
    QCOMPARE(d.name.size(), kMaxLinkLength);
    QCOMPARE(d.action, LinkAction::Renderer); // the extension was cut off
}

void TstHtmlCore::history()
{
    HtmlHistory h;
    QVERIFY(h.isEmpty());
    QVERIFY(!h.current());
    h.visit(QStringLiteral("a"), QStringLiteral("A"));
    h.visit(QStringLiteral("b"), {});
    h.visit(QStringLiteral("c"), {});
    QCOMPARE(h.count(), 3);
    QCOMPARE(h.entry(0).source, QStringLiteral("c")); // newest first
    QVERIFY(h.setIndex(2));
    QCOMPARE(h.current()->title, QStringLiteral("A"));
    QVERIFY(!h.setIndex(3));
    QCOMPARE(h.index(), 2);
    // Visiting the current page again changes nothing but its title.
    h.visit(QStringLiteral("a"), QStringLiteral("A2"));
    QCOMPARE(h.count(), 3);
    QCOMPARE(h.index(), 2);
    // A new page after going back drops the newer entries.
    h.visit(QStringLiteral("d"), {});
    QCOMPARE(h.count(), 2);
    QCOMPARE(h.entry(0).source, QStringLiteral("d"));
    QCOMPARE(h.entry(1).source, QStringLiteral("a"));
    QCOMPARE(h.index(), 0);
    h.clear();
    QVERIFY(h.isEmpty());
    QCOMPARE(h.index(), 0);
}

void TstHtmlCore::historyKeepsForty()
{
    HtmlHistory h;
    for (int i = 0; i < 45; ++i)
        h.visit(QString::number(i), {});
    QCOMPARE(h.count(), HtmlHistory::kMaxEntries);
    QCOMPARE(h.entry(0).source, QStringLiteral("44"));
    QCOMPARE(h.entry(39).source, QStringLiteral("5"));
}

void TstHtmlCore::guard_data()
{
    QTest::addColumn<QByteArray>("markup");
    QTest::addColumn<int>("verdict");
    QTest::newRow("plain page") << QByteArray(
                                       "<html><body><p>x<table><tr><td>1</td></tr></table></body></html>")
                                << int(PageVerdict::Ok);
    QTest::newRow("many paragraphs are flat") << QByteArray("<p>x").repeated(5000) << int(PageVerdict::Ok);
    QTest::newRow("closed divs are flat")
        << QByteArray("<div>x</div>").repeated(5000) << int(PageVerdict::Ok);
    QTest::newRow("deep divs") << QByteArray("<div>").repeated(100) << int(PageVerdict::TooDeep);
    QTest::newRow("nested tables") << QByteArray("<table><tr><td>").repeated(20) << int(PageVerdict::TooDeep);
    QTest::newRow("huge table") << "<table>" + QByteArray("<tr><td>1<td>2").repeated(20000) + "</table>"
                                << int(PageVerdict::TooManyCells);
    // Script and style as the renderer reads them: closed in any case of letters, self-closed,
    // or never closed (then nothing after them is rendered).
    const QByteArray rows = QByteArray("<table><tr><td>").repeated(3000);
    QTest::newRow("script closed in capitals") << "<script></SCRIPT>" + rows << int(PageVerdict::TooDeep);
    QTest::newRow("self-closed script") << "<script/>" + rows << int(PageVerdict::TooDeep);
    QTest::newRow("style closed in capitals")
        << "<style></STYLE><table>" + QByteArray("<tr><td>x</td></tr>").repeated(200000) + "</table>"
        << int(PageVerdict::TooManyCells);
    QTest::newRow("closing tag needs the whole name") << "<script></scriptx>" + rows << int(PageVerdict::Ok);
    QTest::newRow("unclosed script hides the rest") << "<SCRIPT type=x>" + rows << int(PageVerdict::Ok);
    QTest::newRow("tag names in any case") << QByteArray("<DiV>").repeated(100) << int(PageVerdict::TooDeep);
    // Pages the renderer would take seconds for.
    QTest::newRow("many list items") << "<ul>" + QByteArray("<li>x").repeated(200000)
                                     << int(PageVerdict::TooManyElements);
    QTest::newRow("many line breaks")
        << QByteArray("x<br>").repeated(500000) << int(PageVerdict::TooManyElements);
    QTest::newRow("one endless paragraph")
        << QByteArray("word ").repeated(200000) << int(PageVerdict::TooLongParagraph);
    QTest::newRow("unclosed bold") << QByteArray("<b>x").repeated(100000) << int(PageVerdict::TooDeep);
    QTest::newRow("too large") << QByteArray((4 << 20) + 1, 'x') << int(PageVerdict::TooLarge);
    QTest::newRow("tags in comments and scripts do not count")
        << "<!--" + QByteArray("<div>").repeated(100) + "--><script>" + QByteArray("<div>").repeated(100) +
               "</script>"
        << int(PageVerdict::Ok);
    QTest::newRow("unclosed comment") << QByteArray("<!-- <div>") << int(PageVerdict::Ok);
    QTest::newRow("stray closing tags") << QByteArray("</div></table><b></i></b>") << int(PageVerdict::Ok);
}

void TstHtmlCore::sourceWrapped()
{
    QCOMPARE(source_for_showing(QStringLiteral("abcdefg\nab"), 3), QStringLiteral("abc\ndef\ng\nab"));
    QCOMPARE(source_for_showing(QStringLiteral("abc\n"), 3), QStringLiteral("abc\n"));
}

void TstHtmlCore::guard()
{
    QFETCH(QByteArray, markup);
    QFETCH(int, verdict);
    QCOMPARE(int(check_page(markup)), verdict);
}

void TstHtmlCore::helpTopics()
{
    QCOMPARE(kHelpTopicCount, 27);
    QVERIFY(!help_topic(kHelpEndTag));
    QVERIFY(!help_topic(8999));
    const HelpTopic *t = help_topic(9011);
    QVERIFY(t);
    QCOMPARE(help_topic_page(*t, 1), QStringLiteral("e_viewer.htm#diashow"));
    QCOMPARE(help_topic_page(*t, 0), QStringLiteral("d_viewer.htm#diashow"));
    QCOMPARE(help_start_page(0), QStringLiteral("d_main.htm"));
    QCOMPARE(help_start_page(1), QStringLiteral("e_main.htm"));
}

QTEST_GUILESS_MAIN(TstHtmlCore)
#include "tst_html_core.moc"
