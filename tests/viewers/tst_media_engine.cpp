// The media engine on its own: opening clips of several formats, the natural size and
// display rectangle, refusing files that are not videos, exact frame steps (also after a
// seek), the completion reports of play, pause and the end of a file, closing, and ffmpeg's
// messages about a damaged file staying out of stderr while players come and go.
#include "support/video_fixtures.h"
#include "viewers/video/media_engine.h"
#include "viewers/video/video_renderer.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

using namespace vorn;
using namespace vorn::test;

Q_DECLARE_METATYPE(vorn::MediaEngine::Command)

namespace
{

constexpr int kWait = 15000;

// Opens `path` and waits for the answer.
bool openAndWait(MediaEngine &engine, const QString &path)
{
    QSignalSpy spy(&engine, &MediaEngine::opened);
    engine.open(path);
    if (!spy.wait(kWait))
        return false;
    return spy.at(0).at(0).toBool();
}

// Gives a command with notify set and waits for its completion; returns its success.
template <class F> bool notified(MediaEngine &engine, MediaEngine::Command expected, F command)
{
    QSignalSpy spy(&engine, &MediaEngine::completed);
    engine.setNotify(true);
    command();
    for (int i = 0; i < 3; ++i) {
        if (spy.isEmpty() && !spy.wait(kWait))
            return false;
        while (!spy.isEmpty()) {
            const QList<QVariant> args = spy.takeFirst();
            if (args.at(0).value<MediaEngine::Command>() == expected)
                return args.at(1).toBool();
        }
    }
    return false;
}

// What the process writes to stderr (its file descriptor) while this lives.
class StderrCapture
{
  public:
    StderrCapture()
    {
        if (!file_.open())
            return;
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(file_.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    QByteArray text()
    {
        restore();
        file_.seek(0);
        return file_.readAll();
    }

  private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    QTemporaryFile file_;
    int saved_ = -1;
};

} // namespace

class TestMediaEngine : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void opensClips_data();
    void opensClips();
    void refusesNonVideos_data();
    void refusesNonVideos();
    void framesStepExactly();
    void playReportsTheEnd();
    void pauseCutsThePlayShort();
    void closeReleasesTheDevice();
    void damageStaysOutOfStderr();

  private:
    QTemporaryDir dir_;
    QString mpeg1_;
};

void TestMediaEngine::initTestCase()
{
    qRegisterMetaType<MediaEngine::Command>();
    mpeg1_ = dir_.filePath(QStringLiteral("clip.mpg"));
    QVERIFY(make_clip(mpeg1_, ClipCodec::Mpeg1));
}

void TestMediaEngine::opensClips_data()
{
    QTest::addColumn<int>("codec");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("mpeg-1") << int(ClipCodec::Mpeg1) << "a.mpg" << QSize(320, 240);
    QTest::newRow("mpeg-2") << int(ClipCodec::Mpeg2) << "b.mpeg" << QSize(352, 288);
    QTest::newRow("avi") << int(ClipCodec::Avi) << "c.avi" << QSize(176, 144);
    QTest::newRow("mp4") << int(ClipCodec::Mp4) << "d.mp4" << QSize(320, 180);
}

void TestMediaEngine::opensClips()
{
    QFETCH(int, codec);
    QFETCH(QString, name);
    QFETCH(QSize, size);
    const QString path = dir_.filePath(name);
    QVERIFY(make_clip(path, ClipCodec(codec), size, 25));
    MediaEngine engine;
    QCOMPARE(engine.deviceId(), 0);
    QVERIFY(openAndWait(engine, path));
    QVERIFY(engine.deviceId() > 0);
    QCOMPARE(engine.mode(), MediaEngine::Mode::Stopped);
    QCOMPARE(engine.naturalSize(), size);
    // The natural-size query: a rectangle without size reports the picture's own.
    engine.put(QRect(3, 3, 0, 0));
    QCOMPARE(engine.where(), QRect(QPoint(3, 3), size));
    engine.setTimeFormat(MediaEngine::TimeFormat::Milliseconds);
    // 25 frames at 25 per second; some containers count up to the start of the last frame.
    QTRY_VERIFY_WITH_TIMEOUT(engine.length() >= 960 && engine.length() <= 1000, kWait);
    // The frame drawn for the display rectangle has its size.
    QTRY_VERIFY_WITH_TIMEOUT(engine.renderer()->framesDrawn() > 0, kWait);
    engine.put(QRect(3, 3, size.width() * 2, size.height() * 2));
    QTRY_COMPARE_WITH_TIMEOUT(engine.renderer()->frame().size(), size * 2, kWait);
}

void TestMediaEngine::refusesNonVideos_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("text") << QByteArray("just some words\nand another line\n/etc/passwd\n");
    QTest::newRow("empty") << QByteArray();
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    QTest::newRow("noise") << noise;
}

void TestMediaEngine::refusesNonVideos()
{
    QFETCH(QByteArray, bytes);
    const QString path = dir_.filePath(QStringLiteral("bad_%1.mpg").arg(QTest::currentDataTag()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    MediaEngine engine;
    QVERIFY(!openAndWait(engine, path));
    QCOMPARE(engine.deviceId(), 0);
    // The engine stays usable: a real clip opens next.
    QVERIFY(openAndWait(engine, mpeg1_));
    QVERIFY(engine.deviceId() > 0);
}

void TestMediaEngine::framesStepExactly()
{
    MediaEngine engine;
    engine.setStepSize(5);
    QVERIFY(openAndWait(engine, mpeg1_));
    QCOMPARE(engine.timeFormat(), MediaEngine::TimeFormat::Frames);
    QCOMPARE(engine.position(), qint64(0));
    QVERIFY(notified(engine, MediaEngine::Command::Step, [&] { engine.step(); }));
    QCOMPARE(engine.position(), qint64(5));
    QVERIFY(notified(engine, MediaEngine::Command::Step, [&] { engine.step(); }));
    QCOMPARE(engine.position(), qint64(10));
    // Back across a key frame (every 12 frames).
    QVERIFY(notified(engine, MediaEngine::Command::Step, [&] { engine.back(); }));
    QCOMPARE(engine.position(), qint64(5));
    // After a seek to the end (the end of the file: the last frame, 49, or just past it).
    QVERIFY(notified(engine, MediaEngine::Command::Seek, [&] { engine.next(); }));
    QTRY_VERIFY_WITH_TIMEOUT(engine.position() >= 48, kWait);
    const qint64 end = engine.position();
    QVERIFY(notified(engine, MediaEngine::Command::Step, [&] { engine.back(); }));
    QCOMPARE(engine.position(), end - 5);
    QVERIFY(notified(engine, MediaEngine::Command::Seek, [&] { engine.rewind(); }));
    QTRY_COMPARE_WITH_TIMEOUT(engine.position(), qint64(0), kWait);
    QTest::qWait(200); // the rewind stays on the first frame
    QCOMPARE(engine.position(), qint64(0));
    QVERIFY(notified(engine, MediaEngine::Command::Step, [&] { engine.step(); }));
    QCOMPARE(engine.position(), qint64(5));
}

void TestMediaEngine::playReportsTheEnd()
{
    MediaEngine engine;
    QVERIFY(openAndWait(engine, mpeg1_));
    QVERIFY(notified(engine, MediaEngine::Command::Play, [&] { engine.play(); }));
    QCOMPARE(engine.mode(), MediaEngine::Mode::Stopped);
    QCOMPARE(engine.position(), qint64(49));
    // Play at the end completes at once; after a rewind the file plays again to its end.
    QVERIFY(notified(engine, MediaEngine::Command::Play, [&] { engine.play(); }));
    engine.rewind();
    QVERIFY(notified(engine, MediaEngine::Command::Play, [&] { engine.play(); }));
    QCOMPARE(engine.position(), qint64(49));
}

void TestMediaEngine::pauseCutsThePlayShort()
{
    MediaEngine engine;
    QVERIFY(openAndWait(engine, mpeg1_));
    QSignalSpy spy(&engine, &MediaEngine::completed);
    engine.setNotify(true);
    engine.play();
    QCOMPARE(engine.mode(), MediaEngine::Mode::Playing);
    engine.setNotify(true);
    engine.pauseResume();
    QCOMPARE(engine.mode(), MediaEngine::Mode::Paused);
    QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 2, kWait);
    QCOMPARE(spy.at(0).at(0).value<MediaEngine::Command>(), MediaEngine::Command::Play);
    QCOMPARE(spy.at(0).at(1).toBool(), false);
    QCOMPARE(spy.at(1).at(0).value<MediaEngine::Command>(), MediaEngine::Command::Pause);
    QCOMPARE(spy.at(1).at(1).toBool(), true);
    // Resuming plays on; its completion is the end of the file.
    QVERIFY(notified(engine, MediaEngine::Command::Play, [&] { engine.pauseResume(); }));
    QCOMPARE(engine.position(), qint64(49));
}

void TestMediaEngine::closeReleasesTheDevice()
{
    MediaEngine engine;
    QVERIFY(openAndWait(engine, mpeg1_));
    engine.close();
    QCOMPARE(engine.deviceId(), 0);
    QCOMPARE(engine.mode(), MediaEngine::Mode::NotReady);
    // Commands without a device do nothing.
    QSignalSpy spy(&engine, &MediaEngine::completed);
    engine.setNotify(true);
    engine.play();
    engine.step();
    QTest::qWait(100);
    QCOMPARE(spy.size(), 0);
    // Opening right after closing is not confused by the end of the closed file.
    QVERIFY(openAndWait(engine, mpeg1_));
    engine.close();
    QVERIFY(openAndWait(engine, mpeg1_));
    // The player of a closed file is gone with all it held: the one set up for the next open
    // starts at the first frame, draws and plays to the end.
    QCOMPARE(engine.position(), qint64(0));
    const quint64 drawn = engine.renderer()->framesDrawn();
    engine.put(QRect(0, 0, 0, 0));
    QTRY_VERIFY_WITH_TIMEOUT(engine.renderer()->framesDrawn() > drawn, kWait);
    QCOMPARE(engine.renderer()->frame().size(), QSize(320, 240));
    QVERIFY(notified(engine, MediaEngine::Command::Play, [&] { engine.play(); }));
    QCOMPARE(engine.position(), qint64(49));
}

void TestMediaEngine::damageStaysOutOfStderr()
{
    // A clip with its pictures overwritten in places: ffmpeg reports each damaged picture.
    QFile clean(mpeg1_);
    QVERIFY(clean.open(QIODevice::ReadOnly));
    QByteArray bytes = clean.readAll();
    for (qsizetype at = bytes.size() / 4; at + 64 < bytes.size(); at += bytes.size() / 8)
        for (int i = 0; i < 64; ++i)
            bytes[at + i] = char(0x5a ^ i);
    const QString damaged = dir_.filePath(QStringLiteral("damaged.mpg"));
    QFile out(damaged);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();

    StderrCapture capture;
    {
        // The players of closed files end while the next ones play (and the first player of
        // all ends too): ffmpeg's messages go with the players' logs, never to stderr.
        MediaEngine first;
        QVERIFY(openAndWait(first, mpeg1_));
        MediaEngine engine;
        first.close();
        for (int i = 0; i < 2; ++i) {
            QVERIFY(openAndWait(engine, damaged));
            engine.put(QRect(0, 0, 0, 0));
            QVERIFY(notified(engine, MediaEngine::Command::Play, [&] { engine.play(); }));
            engine.close();
        }
    }
    const QByteArray text = capture.text();
    QVERIFY2(text.isEmpty(), text.left(400).constData());
}

QTEST_MAIN(TestMediaEngine)
#include "tst_media_engine.moc"
