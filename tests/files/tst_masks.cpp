// The wildcard matcher, mask parsing, the mask buttons' composition and file kinds.
#include "files/file_kind.h"
#include "files/masks.h"

#include <QtTest>

using namespace vorn;

class TstMasks : public QObject
{
    Q_OBJECT
  private slots:
    void matchPattern_data();
    void matchPattern();
    void matchMask_data();
    void matchMask();
    void matchContainsMode();
    void parse_data();
    void parse();
    void caseSensitiveList();
    void asciiAgreesWithUnicode();
    void fixedButtons();
    void composeJpgThenGif();
    void releasingLastBringsAllFiles();
    void allFilesReleasesOthers();
    void allFilesCannotBeReleased();
    void userCellSplitsByFuzzyRule();
    void kindFlags();
    void fileKinds_data();
    void fileKinds();
};

// One (lower-cased) name against one pattern, exact mode.
void TstMasks::matchPattern_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("match");
    QTest::newRow("ext ignores case") << "*.jpg"
                                      << "Photo.JPG" << true;
    QTest::newRow("first occurrence only") << "*.jpg"
                                           << "a.jpg.jpg" << false;
    QTest::newRow("no backtracking") << "*a"
                                     << "aba" << false;
    QTest::newRow("longer ext") << "*.jpg"
                                << "x.jpeg" << false;
    QTest::newRow("literal then star") << "a*.jpg"
                                       << "abc.jpg" << true;
    QTest::newRow("literal must start") << "a*.jpg"
                                        << "babc.jpg" << false;
    QTest::newRow("question first") << "?b"
                                    << "ab" << true;
    QTest::newRow("question last") << "a?"
                                   << "ab" << true;
    QTest::newRow("question needs a char") << "a?"
                                           << "a" << false;
    QTest::newRow("question one char only") << "a?"
                                            << "abc" << false;
    QTest::newRow("star then question") << "*?"
                                        << "a" << true;
    QTest::newRow("all files rejects no dot") << "*.*"
                                              << "README" << false;
    QTest::newRow("all files takes dot") << "*.*"
                                         << "a.b" << true;
    QTest::newRow("star takes no dot") << "*"
                                       << "README" << true;
    QTest::newRow("exact plain name") << "a.b"
                                      << "a.b" << true;
    QTest::newRow("plain name not contained") << "a.b"
                                              << "xa.b" << false;
    QTest::newRow("empty pattern") << ""
                                   << "" << false;
    QTest::newRow("umlaut lowered") << "*.jpg" << QString::fromUtf8("ÄRGER.JPG") << true;
    QTest::newRow("question on umlaut") << "?.gif" << QString::fromUtf8("Ö.gif") << true;
    QTest::newRow("question on astral char") << "?.gif" << QString::fromUtf8("\U0001F600.gif") << true;
}

void TstMasks::matchPattern()
{
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QTEST(match_pattern(name.toLower(), pattern), "match");
}

// Names against whole mask texts, as the file lists test them (parse, then matches_any).
void TstMasks::matchMask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("match");
    QTest::newRow("ext ignores case") << "*.jpg"
                                      << "Photo.JPG" << true;
    QTest::newRow("first occurrence only") << "*.jpg"
                                           << "a.jpg.jpg" << false;
    QTest::newRow("all files rejects no dot") << "*.*"
                                              << "README" << false;
    QTest::newRow("empty mask is star") << ""
                                        << "README" << true;
    QTest::newRow("fuzzy bare word") << "gif"
                                     << "my-gif-file" << true;
    QTest::newRow("fuzzy star appended") << "a?"
                                         << "abc" << true;
    QTest::newRow("comma list") << "*.jpg,*.gif"
                                << "anim.GIF" << true;
    QTest::newRow("list no hit") << "*.jpg;*.gif"
                                 << "a.png" << false;
    QTest::newRow("blanks trimmed") << "  *.TXT ; "
                                    << "notes.txt" << true;
    QTest::newRow("empty piece matches all") << "*.jpg;;"
                                             << "README" << true;
    QTest::newRow("umlaut name") << "*.JPG" << QString::fromUtf8("ÄRGER.JPG") << true;
    QTest::newRow("empty name matches") << "*.jpg"
                                        << "" << true;
}

void TstMasks::matchMask()
{
    QFETCH(QString, mask);
    QFETCH(QString, name);
    QTEST(matches_any(name, parse_patterns(mask)), "match");
}

void TstMasks::matchContainsMode()
{
    QVERIFY(match_pattern(u"abc", u"b", false));
    QVERIFY(!match_pattern(u"abc", u"b", true));
    QVERIFY(!match_pattern(u"abc", u"", false)); // an empty pattern matches nothing
    QVERIFY(!matches_any("a.jpg", QStringList()));
}

void TstMasks::parse_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("fuzzy");
    QTest::addColumn<QString>("plain");
    QTest::newRow("sorted, no trailing separator") << "*.jpg;*.gif;"
                                                   << "*.gif;*.jpg"
                                                   << "*.gif;*.jpg";
    QTest::newRow("user cell jpg;gif") << "*.jpg;gif;"
                                       << "*.jpg;*gif*"
                                       << "*.jpg;gif";
    QTest::newRow("empty text") << ""
                                << "*"
                                << "*";
    QTest::newRow("empty piece") << ";"
                                 << "**"
                                 << "";
    QTest::newRow("commas and case") << " *.JPG , *.Gif "
                                     << "*.gif;*.jpg"
                                     << "*.gif;*.jpg";
    QTest::newRow("star kept") << "ht*"
                               << "ht*"
                               << "ht*";
    QTest::newRow("question gets star") << "ab?"
                                        << "ab?*"
                                        << "ab?";
    QTest::newRow("dotted kept") << "a.b"
                                 << "a.b"
                                 << "a.b";
}

void TstMasks::parse()
{
    QFETCH(QString, mask);
    QTEST(join_patterns(parse_patterns(mask)), "fuzzy");
    QTEST(join_patterns(parse_patterns(mask, false)), "plain");
}

void TstMasks::caseSensitiveList()
{
    const QStringList list = parse_patterns("*.JPG", true, true);
    QCOMPARE(list, QStringList{"*.JPG"});
    QVERIFY(matches_any("a.JPG", list, true));
    QVERIFY(!matches_any("a.jpg", list, true));
}

// The scanner's byte matcher must give the QString matcher's answers on ASCII input.
void TstMasks::asciiAgreesWithUnicode()
{
    const char *patterns[] = {"*",  "*.*",  "*.jpg", "a*b?c", "??", "*?", "a",
                              "x*", "*x*y", "?*?",   "**.",   "*.", ""};
    const char *names[] = {"", "a", "ab", "a.jpg", "axbyc", "abc.jpg.jpg", "xxyy", "x.", ".", "aXbc"};
    for (const char *p : patterns)
        for (const char *n : names)
            for (bool exact : {true, false}) {
                const bool q = match_pattern(QString::fromLatin1(n), QString::fromLatin1(p), exact);
                const bool b = match_pattern_ascii(n, strlen(n), p, strlen(p), exact);
                QVERIFY2(q == b, qPrintable(QStringLiteral("%1 ~ %2").arg(n, p)));
            }
}

void TstMasks::fixedButtons()
{
    QCOMPARE(int(kFixedMasks.size()), 14);
    for (int i = 0; i < kFixedMaskCount; ++i)
        QCOMPARE(kFixedMasks[i].tag, i);
    QCOMPARE(QString(kFixedMasks[0].scanPattern), QString("*.jpg"));
    QCOMPARE(QString(kFixedMasks[12].caption), QString("zip"));
    QCOMPARE(kFixedMasks[13].scanPattern, nullptr);
    const MaskState s;
    QVERIFY(s.isDown(kAllFilesTag));
    QCOMPARE(s.currentMask(), QString("*.*"));
    QVERIFY(s.isAllFiles());
}

void TstMasks::composeJpgThenGif()
{
    MaskState s;
    s.click(0, true, {});
    s.click(6, true, {});
    QCOMPARE(s.currentMask(), QString("*.jpg;*.gif;"));
    QCOMPARE(s.scanPatterns(), (QStringList{"*.jpg", "*.gif"}));
    QCOMPARE(s.filterText(), QString("*.gif;*.jpg"));
    QVERIFY(s.isDown(0) && s.isDown(6) && !s.isDown(kAllFilesTag));
    QVERIFY(s.flags().pictures);
    QVERIFY(s.userMaskText().isEmpty());
}

void TstMasks::releasingLastBringsAllFiles()
{
    MaskState s;
    s.click(0, true, {});
    s.click(6, true, {});
    s.click(0, false, {});
    QCOMPARE(s.currentMask(), QString("*.gif;"));
    s.click(6, false, {});
    QCOMPARE(s.currentMask(), QString("*.*"));
    QCOMPARE(s.filterText(), QString("*.*"));
    QVERIFY(s.isDown(kAllFilesTag));
    QVERIFY(s.scanPatterns().isEmpty());
    QCOMPARE(s.flags(), MaskFlags{});
}

void TstMasks::allFilesReleasesOthers()
{
    MaskState s;
    const QStringList cells{"txt"};
    s.click(0, true, cells);
    s.click(kFirstUserMaskTag, true, cells);
    QVERIFY(s.flags().user && s.flags().pictures);
    s.click(kAllFilesTag, true, cells);
    QVERIFY(!s.isDown(0) && !s.isDown(kFirstUserMaskTag) && s.isDown(kAllFilesTag));
    QCOMPARE(s.currentMask(), QString("*.*"));
    QCOMPARE(s.flags(), MaskFlags{});
    QVERIFY(s.userMaskText().isEmpty());
}

void TstMasks::allFilesCannotBeReleased()
{
    MaskState s;
    s.click(kAllFilesTag, false, {});
    QVERIFY(s.isDown(kAllFilesTag));
    QCOMPARE(s.currentMask(), QString("*.*"));
}

void TstMasks::userCellSplitsByFuzzyRule()
{
    MaskState s;
    QStringList cells(14);
    cells[2] = "jpg;gif";
    s.click(kFirstUserMaskTag + 2, true, cells);
    QCOMPARE(s.scanPatterns(), QStringList{"*.jpg;gif"});
    QCOMPARE(s.currentMask(), QString("*.jpg;gif;"));
    QCOMPARE(parse_patterns(s.currentMask()), (QStringList{"*.jpg", "*gif*"}));
    QCOMPARE(s.filterText(), QString("*.jpg;*gif*"));
    QVERIFY(s.flags().user && !s.flags().pictures);
    QCOMPARE(s.userMaskText(), s.currentMask());
    // The cell is read when composing, so an edit takes effect with the next click.
    cells[0] = "txt";
    s.click(kFirstUserMaskTag, true, cells);
    QCOMPARE(s.scanPatterns(), (QStringList{"*.txt", "*.jpg;gif"}));
    QVERIFY(matches_any("notes.txt", parse_patterns(s.currentMask())));
}

void TstMasks::kindFlags()
{
    MaskState s;
    s.click(8, true, {});
    QCOMPARE(s.flags(), (MaskFlags{false, true, false, false}));
    s.click(12, true, {});
    QCOMPARE(s.flags(), (MaskFlags{false, true, true, false}));
    s.click(10, true, {});
    s.click(8, false, {});
    s.click(12, false, {});
    QCOMPARE(s.currentMask(), QString("*.html;"));
    QCOMPARE(s.flags(), MaskFlags{}); // html has no kind flag
    s.click(99, true, {});            // unknown tags change nothing
    QCOMPARE(s.currentMask(), QString("*.html;"));
}

void TstMasks::fileKinds_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("ext");
    const int P = int(FileKind::Picture), V = int(FileKind::Video), H = int(FileKind::Html),
              Z = int(FileKind::Zip), O = int(FileKind::Other);
    QTest::newRow("upper jpg") << "/x/PHOTO.JPG" << P << ".jpg";
    QTest::newRow("jpe") << "a.jpe" << P << ".jpe";
    QTest::newRow("wmf") << "a.wmf" << P << ".wmf";
    QTest::newRow("gif") << "a.b.GIF" << P << ".gif";
    QTest::newRow("mpeg") << "m.mpeg" << V << ".mpeg";
    QTest::newRow("avi") << "m.AVI" << V << ".avi";
    QTest::newRow("mp4") << "m.mp4" << V << ".mp4";
    QTest::newRow("m4v") << "m.M4V" << V << ".m4v";
    QTest::newRow("mkv") << "m.mkv" << V << ".mkv";
    QTest::newRow("webm") << "m.webm" << V << ".webm";
    QTest::newRow("mov") << "m.MOV" << V << ".mov";
    QTest::newRow("wmv") << "m.wmv" << V << ".wmv";
    QTest::newRow("html") << "i.html" << H << ".html";
    QTest::newRow("zip") << "ARCHIVE.ZIP" << Z << ".zip";
    QTest::newRow("no extension") << "README" << O << "";
    QTest::newRow("dot in folder only") << "/a.jpg/README" << O << "";
    QTest::newRow("png: a picture by the kind table") << "x.PNG" << P << ".png";
    QTest::newRow("psd is other") << "x.psd" << O << ".psd";
    QTest::newRow("trailing dot") << "x." << O << ".";
}

void TstMasks::fileKinds()
{
    QFETCH(QString, path);
    QTEST(int(file_kind(path)), "kind");
    QTEST(file_extension(path), "ext");
}

QTEST_GUILESS_MAIN(TstMasks)
#include "tst_masks.moc"
