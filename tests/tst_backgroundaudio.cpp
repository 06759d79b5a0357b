// The background sound: one thread however many clicks, silence until the first
// click, real samples after it, and a program that still ends when its window is
// closed in the middle of a run.

#include "backgroundaudio.h"
#include "desktop.h"
#include "kestrovix.h"
#include "media.h"
#include "program.h"
#include "resourcedirectory.h"
#include "soundclip.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

int threadsNamed(const QString &name)
{
    int count = 0;
    const QDir tasks("/proc/self/task");
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + "/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name.toUtf8())
            ++count;
    }
    return count;
}

} // namespace

class BackgroundAudioTest : public QObject
{
    Q_OBJECT

private slots:
    void soundClipsAreNamedWithoutRegardToCase();
    void oneThreadHoweverManyClicks();
    void soundStartsOnTheFirstClickAndTheProgramEndsWhenClosed();
};

void BackgroundAudioTest::soundClipsAreNamedWithoutRegardToCase()
{
    const std::string tune = (media::resources() + "/background.MP3").toStdString();
    QVERIFY(openSoundClip(tune, "s1"));
    QVERIFY(!openSoundClip(tune, "S1"));  // the name is taken
    QVERIFY(playSoundClip("S1"));
    QVERIFY(closeSoundClip("S1"));
    QVERIFY(!playSoundClip("s1"));
    QVERIFY(!closeSoundClip("s1"));

    // A missing or broken file leaves nothing open under the name.
    QTemporaryDir scratch;
    QFile broken(scratch.filePath("broken.MP3"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(5000, '\x33'));
    broken.close();
    for (const QString &path : {scratch.filePath("missing.MP3"), scratch.filePath("broken.MP3")}) {
        QVERIFY(!openSoundClip(path.toStdString(), "s2"));
        QVERIFY(!playSoundClip("s2"));
        QVERIFY(!closeSoundClip("s2"));
    }
}

void BackgroundAudioTest::oneThreadHoweverManyClicks()
{
    // Without media every run ends at once, so the clicks come quickly.
    QTemporaryDir empty;
    setResourceDirectory(empty.path().toStdString());
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(g_audioStarted, 0);
    QCOMPARE(threadsNamed("kx-audio"), 0);

    const QPoint manual = w.mapToGlobal(program::buttonPoint("pushButton"));
    const QPoint automatic = w.mapToGlobal(program::buttonPoint("pushButton_2"));
    for (int i = 0; i < 4; ++i) {
        QVERIFY(desktop::click(i % 2 ? manual : automatic));
        QTest::qWait(150);
    }
    QTRY_COMPARE(g_audioStarted, 1);
    QTest::qWait(300);
    QCOMPARE(threadsNamed("kx-audio"), 1);
    for (int i = 0; i < 6; ++i)
        startBackgroundAudioOnce();
    QCOMPARE(threadsNamed("kx-audio"), 1);
}

void BackgroundAudioTest::soundStartsOnTheFirstClickAndTheProgramEndsWhenClosed()
{
    const QPoint buttonOffset = program::widgetRect("pushButton_2", false).center();
    QTemporaryDir scratch;
    const program::SoundRecording sound(scratch.path());

    QProcess kestrovix;
    QVERIFY(program::start(kestrovix, sound.environment()));

    const unsigned long window = desktop::waitForWindow("^Kestrovix$", 10000);
    QVERIFY(window);
    QTest::qWait(800);
    QVERIFY2(sound.peak() == 0, "no sound before the first click");

    QVERIFY(desktop::click(desktop::windowGeometry(window).topLeft() + buttonOffset));
    QElapsedTimer clock;
    clock.start();
    while (sound.peak() < 1000 && clock.elapsed() < 5000)
        QTest::qWait(100);
    QVERIFY2(sound.peak() >= 1000, "the tune is playing");
    QCOMPARE(kestrovix.state(), QProcess::Running);

    // bike.avi is still playing: closing the window must end the run and the program.
    QVERIFY(desktop::requestClose(window));
    const QString failure = program::endsCleanly(kestrovix);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

QTEST_MAIN(BackgroundAudioTest)
#include "tst_backgroundaudio.moc"
