// The real program used as a person uses it: real clicks and drags on the X server,
// the window "output" closed by its button, the main window closed mid-way.

#include "desktop.h"
#include "media.h"

#include <QApplication>
#include "program.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <csignal>

namespace {

bool windowGone(const QString &title, int milliseconds)
{
    for (int waited = 0; waited <= milliseconds; waited += 100) {
        if (desktop::findWindows(title).isEmpty())
            return true;
        QTest::qWait(100);
    }
    return false;
}

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dragAroundTheTargetFollowsItInBlue();
    void outputClosedByItsButtonStartsTrackingWithoutHanging();
    void closingTheMainWindowDuringSelectionEndsTheProgram();
    void burstOfClicksNestsRunsAndClosingEndsThemAll();
    void signalsEndTheProgramInEveryState_data();
    void signalsEndTheProgramInEveryState();

private:
    // Starts the program and clicks "手动识别"; returns the "output" window.
    unsigned long startManualRun();
    // Asks the main window to close and expects the program to end soon, successfully.
    void closeAndExpectCleanExit();

    QProcess kestrovix;
    unsigned long mainWindow = 0;
};

void EndToEndTest::init()
{
    mainWindow = 0;
}

void EndToEndTest::cleanup()
{
    if (kestrovix.state() != QProcess::NotRunning) {
        kestrovix.kill();
        kestrovix.waitForFinished();
    }
}

unsigned long EndToEndTest::startManualRun()
{
    const QPoint buttonOffset = program::widgetRect("pushButton", false).center();
    if (!program::start(kestrovix))
        return 0;
    mainWindow = desktop::waitForWindow("^Kestrovix$", 10000);
    if (!mainWindow)
        return 0;
    QTest::qWait(300);
    desktop::click(desktop::windowGeometry(mainWindow).topLeft() + buttonOffset);
    return desktop::waitForWindow("^output$", 10000);
}

void EndToEndTest::closeAndExpectCleanExit()
{
    QVERIFY(desktop::requestClose(mainWindow));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(kestrovix.waitForFinished(5000));
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString("%1 ms to end").arg(clock.elapsed())));
    QCOMPARE(kestrovix.exitStatus(), QProcess::NormalExit);
    QCOMPARE(kestrovix.exitCode(), 0);
}

void EndToEndTest::dragAroundTheTargetFollowsItInBlue()
{
    const cv::Mat firstFrame = media::readAllFrames(media::resources() + "/video3.mp4").at(0);
    const cv::Rect target = media::readVideo3Truth().at(0);
    const QRect picture = program::widgetRect("label", true);
    const QRect bar = program::widgetRect("progressBar_2", true);

    const unsigned long output = startManualRun();
    QVERIFY(output);
    QTest::qWait(300);
    const cv::Point imageInWindow = media::findFrameIn(desktop::grabWindow(output), firstFrame);
    QVERIFY2(imageInWindow.x >= 0, "output shows the first frame");
    const QPoint image = desktop::windowGeometry(output).topLeft() + QPoint(imageInWindow.x, imageInWindow.y);

    QVERIFY(desktop::drag({image + QPoint(target.x, target.y), image + QPoint(target.x + 15, target.y + 20),
                           image + QPoint(target.br().x, target.br().y)}));
    QVERIFY2(windowGone("^output$", 3000), "the release closes output");

    QTest::qWait(800);
    const QImage early = desktop::grabWindow(mainWindow);
    QTest::qWait(800);
    const QImage later = desktop::grabWindow(mainWindow);
    QVERIFY2(media::countPixels(later, Qt::blue, picture) > 20, "the target is boxed in blue");
    QVERIFY2(early.copy(bar) != later.copy(bar), "the progress bar advances");

    closeAndExpectCleanExit();
}

void EndToEndTest::outputClosedByItsButtonStartsTrackingWithoutHanging()
{
    const QRect bar = program::widgetRect("progressBar_2", true);
    const unsigned long output = startManualRun();
    QVERIFY(output);
    QTest::qWait(300);

    QVERIFY(desktop::requestClose(output));
    QVERIFY2(windowGone("^output$", 3000), "output closes");
    QTest::qWait(800);
    const QImage early = desktop::grabWindow(mainWindow);
    QTest::qWait(800);
    QVERIFY2(early.copy(bar) != desktop::grabWindow(mainWindow).copy(bar), "the run goes on");

    closeAndExpectCleanExit();
}

void EndToEndTest::closingTheMainWindowDuringSelectionEndsTheProgram()
{
    QVERIFY(startManualRun());
    QTest::qWait(300);
    closeAndExpectCleanExit();
}

void EndToEndTest::burstOfClicksNestsRunsAndClosingEndsThemAll()
{
    const QPoint manual = program::buttonPoint("pushButton");
    const QPoint automatic = program::buttonPoint("pushButton_2");
    QVERIFY(program::start(kestrovix));
    mainWindow = desktop::waitForWindow("^Kestrovix$", 10000);
    QVERIFY(mainWindow);
    QTest::qWait(300);
    const QPoint origin = desktop::windowGeometry(mainWindow).topLeft();

    // Ten quick clicks on both buttons, while someone closes every "output" that opens
    // (for three seconds, so as not to outlive this test).
    desktop::runLater(0, QString("for i in $(seq 15); do xdotool search --onlyvisible --name '^output$' | "
                                 "xargs -r -n1 %1 --close-window; sleep 0.2; done")
                             .arg(QCoreApplication::applicationFilePath()));
    for (int i = 0; i < 10; ++i)
        QVERIFY(desktop::click(origin + (i % 3 == 1 ? manual : automatic)));
    QTest::qWait(3000);

    QCOMPARE(kestrovix.state(), QProcess::Running);
    QCOMPARE(desktop::findWindows("^Kestrovix$").size(), 1);
    // Closing the window ends every nested run, and the program.
    closeAndExpectCleanExit();
}

void EndToEndTest::signalsEndTheProgramInEveryState_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("signalNumber");
    for (const char *state : {"before any click", "automatic run", "selection", "tracking"}) {
        QTest::addRow("%s, SIGINT", state) << state << SIGINT;
        QTest::addRow("%s, SIGTERM", state) << state << SIGTERM;
        QTest::addRow("%s, SIGHUP", state) << state << SIGHUP;
    }
}

void EndToEndTest::signalsEndTheProgramInEveryState()
{
    QFETCH(QString, state);
    QFETCH(int, signalNumber);

    // The sound starts with the first click; from then on a sound library may want the
    // signals for itself.
    if (state == "before any click") {
        QVERIFY(program::start(kestrovix));
        mainWindow = desktop::waitForWindow("^Kestrovix$", 10000);
        QVERIFY(mainWindow);
    } else if (state == "automatic run") {
        const QPoint buttonOffset = program::buttonPoint("pushButton_2");
        QVERIFY(program::start(kestrovix));
        mainWindow = desktop::waitForWindow("^Kestrovix$", 10000);
        QVERIFY(mainWindow);
        QTest::qWait(300);
        QVERIFY(desktop::click(desktop::windowGeometry(mainWindow).topLeft() + buttonOffset));
    } else {
        const unsigned long output = startManualRun();
        QVERIFY(output);
        if (state == "tracking") {
            QTest::qWait(300);
            QVERIFY(desktop::requestClose(output));
            QVERIFY(windowGone("^output$", 3000));
        }
    }
    QTest::qWait(700);
    QCOMPARE(kestrovix.state(), QProcess::Running);

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(::kill(static_cast<pid_t>(kestrovix.processId()), signalNumber), 0);
    QVERIFY2(kestrovix.waitForFinished(3000), "the program ends");
    qInfo("ended %lld ms after the signal", clock.elapsed());
    // Killed by that very signal, or a clean quit.
    if (kestrovix.exitStatus() == QProcess::CrashExit)
        QCOMPARE(kestrovix.exitCode(), signalNumber);
    else
        QCOMPARE(kestrovix.exitCode(), 0);
}

KESTROVIX_TEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
