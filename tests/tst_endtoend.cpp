// The real program used as a person uses it: its window and captions, both
// recognitions with real clicks and drags on the X server, on our media and on a
// video chosen on the command line or with Ctrl+O, the boxes and the recording a run
// keeps, a local HTTP stream and sources that fail, "q", the window "output" closed by its button, the main window closed
// mid-way, signals.
// The program under test may be the installed one, or the Windows one under Wine.

#include "desktop.h"
#include "media.h"
#include "motreference.h"
#include "processinfo.h"
#include "program.h"
#include "scenes.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <opencv2/imgproc.hpp>
#include <opencv2/tracking.hpp>

#include <array>
#include <atomic>
#include <csignal>
#include <thread>

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

cv::Mat greyOf(const QImage &image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    return cv::Mat(grey.height(), grey.width(), CV_8UC1, const_cast<uchar *>(grey.constBits()),
                   static_cast<size_t>(grey.bytesPerLine()))
        .clone();
}

// Where the picture area shows a frame of `frameSize`, scaled to fit and centred.
QRect pictureIn(const QRect &label, const QSize &frameSize)
{
    const QSize shown = frameSize.scaled(label.size(), Qt::KeepAspectRatio);
    return QRect(label.topLeft() + QPoint((label.width() - shown.width()) / 2, (label.height() - shown.height()) / 2),
                 shown);
}

// Small grey thumbnails of the frames, for closestFrame.
std::vector<cv::Mat> thumbnailsOf(const std::vector<cv::Mat> &frames, cv::Size size)
{
    std::vector<cv::Mat> thumbnails;
    for (const cv::Mat &frame : frames) {
        cv::Mat grey, small;
        cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
        cv::resize(grey, small, size, 0, 0, cv::INTER_AREA);
        thumbnails.push_back(small);
    }
    return thumbnails;
}

// The frame of the video that `picture` shows: the nearest by small grey thumbnails,
// then the one among its neighbours that differs least at full size.
int closestFrame(const std::vector<cv::Mat> &frames, const std::vector<cv::Mat> &thumbnails, const QImage &picture)
{
    cv::Mat shown;
    const cv::Mat grey = greyOf(picture);
    cv::resize(grey, shown, thumbnails.at(0).size(), 0, 0, cv::INTER_AREA);
    int nearest = 0;
    double smallest = 1e300;
    for (size_t i = 0; i < thumbnails.size(); ++i) {
        const double difference = cv::norm(shown, thumbnails[i], cv::NORM_L1);
        if (difference < smallest) {
            smallest = difference;
            nearest = static_cast<int>(i);
        }
    }
    int best = nearest;
    smallest = 1e300;
    for (int i = std::max(0, nearest - 3); i <= std::min(int(frames.size()) - 1, nearest + 3); ++i) {
        const cv::Mat candidate = greyOf(media::scaledForDisplay(frames[i], picture.size(), Qt::FastTransformation));
        const double difference = cv::norm(grey, candidate, cv::NORM_L1);
        if (difference < smallest) {
            smallest = difference;
            best = i;
        }
    }
    return best;
}

// A copy of a bundled clip where a user keeps theirs: in a folder whose name has a
// blank and Chinese characters.
QString copyOfClip(const QTemporaryDir &scratch, const QString &clip, const QString &name)
{
    const QString folder = scratch.path() + QString::fromUtf8("/街道 录像");
    QDir().mkpath(folder);
    const QString copy = folder + "/" + name;
    QFile::copy(media::resources() + "/" + clip, copy);
    return copy;
}

// Whether the process has the file open (on Linux, where /proc tells).
bool hasOpen(qint64 pid, const QString &path)
{
    const QDir descriptors(QString("/proc/%1/fd").arg(pid));
    for (const QFileInfo &descriptor : descriptors.entryInfoList(QDir::Files | QDir::System))
        if (descriptor.symLinkTarget() == path)
            return true;
    return false;
}

// A local HTTP server that serves `clip` once as an MPEG-TS stream, at its own pace.
bool serveStream(QProcess &server, const QString &clip, const QString &url)
{
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start("ffmpeg", {"-loglevel", "error", "-re", "-i", media::resources() + "/" + clip, "-c:v", "mpeg4",
                            "-q:v", "2", "-f", "mpegts", "-listen", "1", url});
    return server.waitForStarted();
}

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void windowShowsThePictureAreaAndBothCaptions();
    void automaticRunBoxesTheMiddlingObjectsInGreen_data();
    void automaticRunBoxesTheMiddlingObjectsInGreen();
    void dragAroundTheTargetFollowsItInBlueUntilQ_data();
    void dragAroundTheTargetFollowsItInBlueUntilQ();
    void savedBoxesAreThoseOfThePlainCallsAndTheRecordingHoldsEveryFrame_data();
    void savedBoxesAreThoseOfThePlainCallsAndTheRecordingHoldsEveryFrame();
    void localHttpStreamIsBoxedUntilItStops();
    void walkersKeepTheirNumbersThroughCrossingsBetterThanWithSort();
    void severalTargetsAreNumberedAndFollowedAsByPlainTrackers();
    void lineCountsEachCrossingOnTheTrackThatCarriedIt();
    void linesDrawnWithTheMouseLieAtTheVideoPixelsUnderIt();
    void ignoredRegionLeavesTheOtherBoxesAsTheyWere();
    void fromAndToBeginAndEndTheRowsThere();
    void spacePausesArrowStepsAndTheSliderMovesToAFrame();
    void badSourceGivesAMessageAndTheWindowStaysUsable_data();
    void badSourceGivesAMessageAndTheWindowStaysUsable();
    void commandLineHelpVersionAndMistakesNeedNoDisplay_data();
    void commandLineHelpVersionAndMistakesNeedNoDisplay();
    void outputClosedByItsButtonStartsTrackingWithoutHanging();
    void closingTheMainWindowDuringSelectionEndsTheProgram();
    void burstOfClicksNestsRunsAndClosingEndsThemAll();
    void signalsEndTheProgramInEveryState_data();
    void signalsEndTheProgramInEveryState();

private:
    // Footage where five walkers cross the vertical line x = 320, three from left to
    // right and two back; writes it, and returns the frames where each centre crosses.
    QString makeCrossings(QList<int> *crossingFrames, QList<int> *directions);
    // Waits for a run to end: its rows no longer grow, and the picture stays the same.
    void waitForTheRunToEnd(const QString &rows);

    // Starts the program with the arguments and waits for its window; true if it came.
    bool startProgram(const QStringList &arguments = {}, bool keepErrors = false);
    // Makes the program play a copy of `clip` in the way the test's data row names:
    // "bundled" (the clip itself), "command line" or "Ctrl+O" (a path typed into the
    // dialog, while a run on the bundled clips plays). Starts the program.
    bool startOnClip(const QString &clip);
    // After startOnClip, that a run plays the chosen copy rather than the bundled clip.
    void expectPlayingTheChosenCopy();
    // Starts the program as startOnClip does and clicks "手动识别"; returns the "output" window.
    unsigned long startManualRun();
    // Waits for the program to write a line containing `text` on standard error.
    bool saysOnStandardError(const QString &text, int milliseconds);
    // Asks the main window to close and expects the program to end soon, successfully.
    void closeAndExpectCleanExit();

    QProcess kestrovix;
    unsigned long mainWindow = 0;
    QTemporaryDir scratch;
    QByteArray errors;
    QString chosenCopy;
};

void EndToEndTest::init()
{
    mainWindow = 0;
    errors.clear();
    chosenCopy.clear();
}

void EndToEndTest::cleanup()
{
    if (kestrovix.state() != QProcess::NotRunning) {
        kestrovix.kill();
        kestrovix.waitForFinished();
    }
}

bool EndToEndTest::startProgram(const QStringList &arguments, bool keepErrors)
{
    if (!program::start(kestrovix, {}, arguments, keepErrors))
        return false;
    mainWindow = desktop::waitForWindow("^Kestrovix$", 15000);
    QTest::qWait(300);
    return mainWindow != 0;
}

bool EndToEndTest::startOnClip(const QString &clip)
{
    const QString way = QTest::currentDataTag() ? QString(QTest::currentDataTag()) : QString("bundled");
    if (way == "bundled")
        return startProgram();
    if (way == "command line") {
        chosenCopy = copyOfClip(scratch, clip, QString::fromUtf8("街道 1") + clip.mid(clip.indexOf('.')));
        return startProgram({chosenCopy});
    }

    // Ctrl+O during a run: the dialog gets the keys, and the run ends once a video is chosen.
    const QString path = QDir(scratch.path()).filePath("my clips");
    QDir().mkpath(path);
    const QString copy = path + "/street clip" + clip.mid(clip.indexOf('.'));
    QFile::copy(media::resources() + "/" + clip, copy);
    chosenCopy = copy;
    if (!startProgram())
        return false;
    const QPoint origin = desktop::windowGeometry(mainWindow).topLeft();
    desktop::click(origin + program::buttonPoint("pushButton_2"));
    QTest::qWait(300);
    desktop::typeKeyAt(origin + program::widgetRect("label", false).center(), "ctrl+o");
    if (!desktop::waitForWindow("^Open Video$", 10000))
        return false;
    QTest::qWait(500);
    desktop::xdotool({"type", "--delay", "20", copy});
    desktop::xdotool({"key", "Return"});
    for (int waited = 0; waited < 5000 && !desktop::findWindows("^Open Video$").isEmpty(); waited += 100)
        QTest::qWait(100);
    QTest::qWait(1500);  // what is left of the bundled run
    return desktop::findWindows("^Open Video$").isEmpty();
}

unsigned long EndToEndTest::startManualRun()
{
    const QPoint buttonOffset = program::widgetRect("pushButton", false).center();
    if (!startOnClip("video3.mp4"))
        return 0;
    desktop::click(desktop::windowGeometry(mainWindow).topLeft() + buttonOffset);
    return desktop::waitForWindow("^output$", 10000);
}

void EndToEndTest::expectPlayingTheChosenCopy()
{
    if (chosenCopy.isEmpty() || program::underWine())
        return;
    QTRY_VERIFY2_WITH_TIMEOUT(hasOpen(kestrovix.processId(), chosenCopy), "the run reads the chosen video", 3000);
}

bool EndToEndTest::saysOnStandardError(const QString &text, int milliseconds)
{
    for (int waited = 0; waited <= milliseconds; waited += 100) {
        errors += kestrovix.readAllStandardError();
        if (QString::fromUtf8(errors).contains(text))
            return true;
        QTest::qWait(100);
    }
    qWarning("standard error: %s", errors.constData());
    return false;
}

void EndToEndTest::closeAndExpectCleanExit()
{
    QVERIFY(desktop::requestClose(mainWindow));
    const QString failure = program::endsCleanly(kestrovix);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void EndToEndTest::windowShowsThePictureAreaAndBothCaptions()
{
    const QRect picture = program::widgetRect("label", false);
    const QRect manual = program::widgetRect("pushButton", false);
    const QRect automatic = program::widgetRect("pushButton_2", false);
    QVERIFY(startProgram());
    QVERIFY2(desktop::findWindows("^output$").isEmpty(), "no other window");
    QTRY_COMPARE_WITH_TIMEOUT(media::countPixels(desktop::grabWindow(mainWindow), Qt::black, picture),
                              picture.width() * picture.height(), 5000);
    const QImage shot = desktop::grabWindow(mainWindow);

    // "手动识别" and "自动识别": the same last three characters, a different first one.
    // Drawn the same way, the glyphs look the same whatever the font, each caption
    // taken from the right end of its ink; boxes drawn for missing glyphs would all
    // look alike.
    // Blurred a little, so that a glyph drawn half a pixel further along looks the same.
    cv::Mat left = greyOf(shot.copy(manual)), right = greyOf(shot.copy(automatic));
    cv::GaussianBlur(left, left, cv::Size(3, 3), 0.8);
    cv::GaussianBlur(right, right, cv::Size(3, 3), 0.8);
    auto inkOf = [](const cv::Mat &button) {  // inside the frame and the focus marks
        const cv::Rect inside(5, 4, button.cols - 10, button.rows - 8);
        return cv::boundingRect(button(inside) < 200) + inside.tl();
    };
    const cv::Rect leftInk = inkOf(left), rightInk = inkOf(right);
    QVERIFY2(leftInk.width > 20 && rightInk.width > 20, "both buttons have a caption");
    const int width = std::max(leftInk.width, rightInk.width);
    const int top = std::min(leftInk.y, rightInk.y);
    const int height = std::max(leftInk.br().y, rightInk.br().y) - top;
    auto part = [&](const cv::Rect &ink, int from, int to) {  // from and to: quarters of the caption
        const int start = ink.br().x - width;
        return cv::Rect(start + width * from / 4 + 2, top, width * (to - from) / 4 - 4, height);
    };
    // How alike the same part of both captions is, letting it move by a pixel, as text
    // drawn at another fraction of a pixel does.
    auto likeness = [&](int from, int to) {
        const cv::Rect inRight = part(rightInk, from, to);
        const cv::Rect around = cv::Rect(inRight.x - 2, inRight.y - 2, inRight.width + 4, inRight.height + 4)
                                & cv::Rect(0, 0, right.cols, right.rows);
        cv::Mat scores;
        cv::matchTemplate(right(around), left(part(leftInk, from, to)), scores, cv::TM_CCOEFF_NORMED);
        double best = 0;
        cv::minMaxLoc(scores, nullptr, &best);
        return best;
    };
    const double lastThree = likeness(1, 4), first = likeness(0, 1);
    const QString likenesses = QString("likeness of the last three %1, of the first %2").arg(lastThree).arg(first);
    QVERIFY2(lastThree > 0.7, qPrintable("the same last three characters: " + likenesses));
    QVERIFY2(lastThree - first > 0.15, qPrintable("different first characters: " + likenesses));

    closeAndExpectCleanExit();
}

void EndToEndTest::automaticRunBoxesTheMiddlingObjectsInGreen_data()
{
    QTest::addColumn<bool>("unused");
    QTest::newRow("bundled") << true;
    QTest::newRow("command line") << true;
    if (!program::underWine())  // Wine's own file dialog
        QTest::newRow("Ctrl+O") << true;
}

void EndToEndTest::automaticRunBoxesTheMiddlingObjectsInGreen()
{
    const std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/bike.avi");
    const std::vector<media::BikeObject> truth = media::readBikeTruth();
    const std::vector<cv::Mat> thumbnails = thumbnailsOf(frames, cv::Size(80, 60));
    const QSize frameSize(frames.at(0).cols, frames[0].rows);
    // A chosen video file has its slider under the picture.
    const bool chosenFile = QTest::currentDataTag() && QString(QTest::currentDataTag()) != "bundled";
    const QRect picture = pictureIn(program::widgetRect("label", false, chosenFile), frameSize);
    const double scale = double(picture.width()) / frameSize.width();
    const QPoint button = program::buttonPoint("pushButton_2");

    QVERIFY(startOnClip("bike.avi"));
    QVERIFY(desktop::click(desktop::windowGeometry(mainWindow).topLeft() + button));
    expectPlayingTheChosenCopy();

    // What the picture area shows, until it stays the same for a second: the run's end.
    QList<QImage> shown;
    QElapsedTimer clock;
    clock.start();
    for (int still = 0; still < 10 && clock.elapsed() < 40000; QTest::qWait(100)) {
        const QImage now = desktop::grabWindow(mainWindow).copy(picture);
        still = !shown.isEmpty() && now == shown.last() ? still + 1 : 0;
        if (still == 0)
            shown << now;
    }
    QVERIFY2(shown.size() > 10, qPrintable(QString("%1 pictures seen").arg(shown.size())));
    QCOMPARE(closestFrame(frames, thumbnails, shown.last()), int(frames.size()) - 1);

    // Every object that must be boxed has green around it; green lies nowhere else.
    int mustBox = 0, boxed = 0, stray = 0;
    for (const QImage &image : shown) {
        const int frame = closestFrame(frames, thumbnails, image);
        QImage everywhere = image;
        for (const media::BikeObject &object : truth) {
            if (object.frame != frame)
                continue;
            const cv::Rect near(object.box.x - 8, object.box.y - 8, object.box.width + 16, object.box.height + 16);
            const QRect area(int(near.x * scale), int(near.y * scale), int(near.width * scale) + 1,
                             int(near.height * scale) + 1);
            if (object.expected == 1) {
                ++mustBox;
                boxed += media::countPixels(image, Qt::green, area) > 0;
            }
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    if (everywhere.rect().contains(x, y))
                        everywhere.setPixelColor(x, y, Qt::black);
        }
        stray += media::countPixels(everywhere, Qt::green);
    }
    QVERIFY2(mustBox >= 10, qPrintable(QString("%1 objects to box seen").arg(mustBox)));
    QVERIFY2(boxed >= mustBox * 9 / 10, qPrintable(QString("%1 of %2 boxed").arg(boxed).arg(mustBox)));
    QCOMPARE(stray, 0);

    closeAndExpectCleanExit();
}

void EndToEndTest::dragAroundTheTargetFollowsItInBlueUntilQ_data()
{
    automaticRunBoxesTheMiddlingObjectsInGreen_data();
}

void EndToEndTest::dragAroundTheTargetFollowsItInBlueUntilQ()
{
    const cv::Mat firstFrame = media::readAllFrames(media::resources() + "/video3.mp4").at(0);
    const cv::Rect target = media::readVideo3Truth().at(0);
    const QRect picture = program::widgetRect("label", true);
    const QRect bar = program::widgetRect("progressBar_2", true);

    const unsigned long output = startManualRun();
    QVERIFY(output);
    expectPlayingTheChosenCopy();
    QTest::qWait(300);
    const cv::Point imageInWindow = media::findFrameIn(desktop::grabWindow(output), firstFrame);
    QVERIFY2(imageInWindow.x >= 0, "output shows the first frame");
    const QPoint image = desktop::windowGeometry(output).topLeft() + QPoint(imageInWindow.x, imageInWindow.y);

    QVERIFY(desktop::drag({image + QPoint(target.x, target.y), image + QPoint(target.x + 15, target.y + 20),
                           image + QPoint(target.br().x, target.br().y)}));
    QVERIFY2(windowGone("^output$", 3000), "the release closes output");

    QTest::qWait(800);
    const QImage early = desktop::grabWindow(mainWindow);
    // A loaded machine tracks only a few frames a second, and one frame may not move
    // the bar by a pixel: it is watched until it does.
    QImage later;
    QElapsedTimer clock;
    clock.start();
    do {
        QTest::qWait(200);
        later = desktop::grabWindow(mainWindow);
    } while (early.copy(bar) == later.copy(bar) && clock.elapsed() < 10000);
    QVERIFY2(media::countPixels(later, Qt::blue, picture) > 20, "the target is boxed in blue");
    QVERIFY2(early.copy(bar) != later.copy(bar), "the progress bar advances");

    // "q" typed into the window ends the run: the bar stops, the program goes on.
    QVERIFY(desktop::typeKeyAt(desktop::windowGeometry(mainWindow).topLeft() + picture.center(), "q"));
    QTest::qWait(500);
    const QImage stopped = desktop::grabWindow(mainWindow);
    QTest::qWait(800);
    QCOMPARE(desktop::grabWindow(mainWindow).copy(bar), stopped.copy(bar));
    QCOMPARE(kestrovix.state(), QProcess::Running);

    closeAndExpectCleanExit();
}

void EndToEndTest::savedBoxesAreThoseOfThePlainCallsAndTheRecordingHoldsEveryFrame_data()
{
    QTest::addColumn<QStringList>("methods");
    QTest::addColumn<QString>("recording");
    QTest::addColumn<int>("lower");
    QTest::addColumn<int>("upper");
    QTest::newRow("no options, Motion-JPEG") << QStringList() << "run.avi" << 500 << 1000;
    QTest::newRow("KNN, a wider band, MPEG-4")
        << QStringList{"--detector", "knn", "--min-area", "200", "--max-area", "5000"} << "run.mp4" << 200 << 5000;
    // Rows with the objects' numbers, which only the program knows.
    QTest::newRow("identities, Motion-JPEG") << QStringList{"--identities"} << "run.avi" << 0 << 0;
}

void EndToEndTest::savedBoxesAreThoseOfThePlainCallsAndTheRecordingHoldsEveryFrame()
{
    QFETCH(QStringList, methods);
    QFETCH(QString, recording);
    QFETCH(int, lower);
    QFETCH(int, upper);
    const std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/bike.avi");
    cv::Ptr<cv::BackgroundSubtractor> model;
    if (methods.isEmpty()) {
        model = cv::createBackgroundSubtractorMOG2(500, 16.0, false);
    } else {
        cv::Ptr<cv::BackgroundSubtractorKNN> knn = cv::createBackgroundSubtractorKNN();
        knn->setDetectShadows(false);
        model = knn;
    }
    const QStringList expected = upper > 0 ? media::plainDetectorRows(frames, *model, lower, upper) : QStringList();

    // Saved in a folder whose name has a blank and Chinese characters.
    const QString folder = copyOfClip(scratch, "bike.avi", "bike.avi").section('/', 0, -2);
    const QString boxes = folder + QString::fromUtf8("/框 1.csv");
    recording = folder + "/" + recording;
    QFile::remove(boxes);
    QFile::remove(recording);
    QVERIFY(startProgram(methods + QStringList{"--boxes", boxes, "--record", recording, folder + "/bike.avi"}));
    QVERIFY(desktop::click(desktop::windowGeometry(mainWindow).topLeft() + program::buttonPoint("pushButton_2")));
    // The run has ended when the file has all its rows and the picture stays the same.
    const QRect picture = program::widgetRect("label", false);
    QImage last;
    for (int still = 0, waited = 0; still < 10 && waited < 40000; waited += 100, QTest::qWait(100)) {
        const QImage now = desktop::grabWindow(mainWindow).copy(picture);
        still = now == last && media::fileLines(boxes).size() >= expected.size() ? still + 1 : 0;
        last = now;
    }
    closeAndExpectCleanExit();

    if (!expected.isEmpty())
        QCOMPARE(media::fileLines(boxes), expected);
    // The console program, with the same options, saves the same rows.
    QCOMPARE(program::runBatch(methods + QStringList{"--quiet", "--force", "--out", folder, folder + "/bike.avi"}), 0);
    QVERIFY(media::fileLines(boxes).size() > 20);
    QCOMPARE(media::fileLines(folder + "/bike.boxes.csv"), media::fileLines(boxes));
    const std::vector<cv::Mat> recorded = media::readAllFrames(recording);
    QCOMPARE(recorded.size(), frames.size());
    QCOMPARE(recorded.back().size(), frames.back().size());
}

void EndToEndTest::localHttpStreamIsBoxedUntilItStops()
{
    const QRect picture = program::widgetRect("label", false);
    const QString url = "http://127.0.0.1:18731/street.ts";
    QProcess server;
    QVERIFY(serveStream(server, "bike.avi", url));
    QTest::qWait(500);
    QVERIFY(startProgram({url}, true));
    // Every thread the program starts for the stream, seen as it lives.
    const qint64 pid = kestrovix.processId();
    const QMap<qint64, QString> before = processinfo::threads(pid);
    QMap<qint64, QString> seen;
    std::atomic<bool> watching{!program::underWine()};
    std::thread watcher([&] {
        for (; watching; std::this_thread::sleep_for(std::chrono::milliseconds(5)))
            seen.insert(processinfo::threads(pid));
    });
    QVERIFY(desktop::click(desktop::windowGeometry(mainWindow).topLeft() + program::buttonPoint("pushButton_2")));

    // The stream plays at its own pace, 25 frames a second, boxed in green.
    int greenPictures = 0;
    QImage last;
    int changes = 0;
    for (int i = 0; i < 30; ++i, QTest::qWait(200)) {
        const QImage now = desktop::grabWindow(mainWindow).copy(picture);
        changes += !last.isNull() && now != last;
        greenPictures += media::countPixels(now, Qt::green) > 0;
        last = now;
    }
    QVERIFY2(changes >= 10, qPrintable(QString("%1 changes seen").arg(changes)));
    QVERIFY2(greenPictures >= 5, qPrintable(QString("%1 pictures with green boxes").arg(greenPictures)));
    // A live source never ends by itself: the server's end is told as such.
    QVERIFY(saysOnStandardError(url + " stopped sending frames", 15000));
    watching = false;
    watcher.join();
    QCOMPARE(kestrovix.state(), QProcess::Running);
    closeAndExpectCleanExit();
    // The run's own threads (the sound's belong to the sound, which the click starts):
    // a few for the whole stream, not one for every frame.
    QStringList started;
    for (auto thread = seen.cbegin(); thread != seen.cend(); ++thread)
        if (!before.contains(thread.key()) && thread.value() != "kx-audio" && !thread.value().startsWith("SDL"))
            started << thread.value();
    qInfo("the stream's run started %lld threads: %s", qint64(started.size()), qPrintable(started.join(", ")));
    if (!program::underWine())
        QVERIFY2(started.size() <= 5, qPrintable(QString("%1 threads: %2").arg(started.size()).arg(started.join(", "))));
    server.kill();
    server.waitForFinished();
}

void EndToEndTest::walkersKeepTheirNumbersThroughCrossingsBetterThanWithSort()
{
    // Two pairs cross each other, one head on; a fifth walks alone.
    const cv::Size person(30, 75);
    const scenes::Scene scene = scenes::makeScene(
        cv::Size(640, 360), 300,
        {{person, {-30, 60}, {2.4, 0}, 1}, {person, {640, 70}, {-2.2, 0}, 1}, {person, {-30, 220}, {2.0, 0.1}, 40},
         {person, {640, 240}, {-2.6, -0.1}, 30}, {person, {560, -75}, {0, 2.2}, 100}},
        7);
    const QString video = scratch.filePath("walkers.mp4"), truth = scratch.filePath("walkers.gt.txt");
    const QString rows = scratch.filePath("walkers.csv");
    QVERIFY(scenes::writeScene(scene, video, truth));
    QVERIFY(startProgram({"--identities", "--min-area", "1000", "--max-area", "12000", "--boxes", rows, "--score",
                          truth, video}));
    QVERIFY(desktop::click(desktop::windowGeometry(mainWindow).topLeft() + program::buttonPoint("pushButton_2")));
    QByteArray printed;
    for (int waited = 0; waited < 60000 && !printed.contains('\n'); waited += 100, QTest::qWait(100))
        printed += kestrovix.readAllStandardOutput();
    closeAndExpectCleanExit();

    // MOTA 0.873 IDF1 0.912 IDSW 2 FP 40 FN 110
    const QStringList said = QString::fromUtf8(printed).trimmed().split(' ');
    QVERIFY2(said.size() == 10 && said[0] == "MOTA" && said[8] == "FN", printed.constData());
    const std::vector<motreference::Row> truthRows = motreference::parseRows(scene.truth);
    const motreference::Score ours = motreference::score(truthRows, motreference::parseRows(media::fileLines(rows)));
    QVERIFY(std::abs(said[1].toDouble() - ours.mota) <= 0.005 && std::abs(said[3].toDouble() - ours.idf1) <= 0.005);
    QVERIFY2(ours.mota >= 0.85 && ours.idf1 >= 0.90, printed.constData());

    // SORT on the same detections, with its published defaults.
    std::map<int, std::vector<cv::Rect>> detections;
    const std::vector<cv::Mat> frames = media::readAllFrames(video);
    for (const QString &row : media::plainDetectorRows(frames, *cv::createBackgroundSubtractorMOG2(500, 16, false), 1000,
                                                       12000)) {
        const QStringList field = row.split(',');
        detections[field[0].toInt()].push_back(
            cv::Rect(field[2].toInt(), field[3].toInt(), field[4].toInt(), field[5].toInt()));
    }
    const motreference::Score sort = motreference::score(truthRows, motreference::sort(detections, int(frames.size())));
    qInfo("the program: %s; SORT: MOTA %.3f IDF1 %.3f IDSW %d", printed.trimmed().constData(), sort.mota, sort.idf1,
          sort.idSwitches);
    QVERIFY(ours.idf1 >= sort.idf1 + 0.10);
    QVERIFY(ours.idSwitches < sort.idSwitches);
}

void EndToEndTest::severalTargetsAreNumberedAndFollowedAsByPlainTrackers()
{
    std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/video3.mp4");
    frames.resize(60);
    const QString clip = scratch.filePath("street 60.mp4"), rows = scratch.filePath("targets.csv");
    QVERIFY(media::writeVideo(clip, frames));
    frames = media::readAllFrames(clip);
    const std::vector<cv::Rect> targets = {media::readVideo3Truth().at(0), cv::Rect(30, 150, 40, 50)};
    QStringList expected;
    for (size_t i = 0; i < targets.size(); ++i)
        for (const QString &row : media::plainTrackerRows(frames, *cv::TrackerCSRT::create(), targets[i]))
            expected << row.section(',', 0, 0) + "," + QString::number(i + 1) + "," + row.section(',', 2);
    std::stable_sort(expected.begin(), expected.end(),
                     [](const QString &a, const QString &b) { return a.section(',', 0, 0).toInt() < b.section(',', 0, 0).toInt(); });

    QFile::remove(rows);
    QVERIFY(startProgram({"--targets", "--boxes", rows, clip}));
    QVERIFY(desktop::click(desktop::windowGeometry(mainWindow).topLeft() + program::buttonPoint("pushButton")));
    const unsigned long output = desktop::waitForWindow("^output$", 10000);
    QVERIFY(output);
    QTest::qWait(300);
    const cv::Point inWindow = media::findFrameIn(desktop::grabWindow(output), frames.at(0));
    QVERIFY2(inWindow.x >= 0, "output shows the first frame");
    const QPoint image = desktop::windowGeometry(output).topLeft() + QPoint(inWindow.x, inWindow.y);
    for (const cv::Rect &target : targets) {
        QVERIFY(desktop::drag({image + QPoint(target.x, target.y), image + QPoint(target.x + 9, target.y + 7),
                               image + QPoint(target.br().x, target.br().y)}));
        QTest::qWait(300);
        QVERIFY2(!desktop::findWindows("^output$").isEmpty(), "output stays open for the next drag");
    }
    // A click selects nothing, and gives "output" the keyboard (Wine, without a window
    // manager, gives it to the window clicked last).
    QVERIFY(desktop::click(image + QPoint(5, 5)));
    QVERIFY(desktop::typeKeyAt(image + QPoint(5, 5), "Return"));
    QVERIFY2(windowGone("^output$", 3000), "Enter starts tracking");

    const QRect picture = program::widgetRect("label", true);
    for (int waited = 0; waited < 20000 && media::fileLines(rows).size() < expected.size(); waited += 100)
        QTest::qWait(100);
    QTest::qWait(300);
    QVERIFY2(media::countPixels(desktop::grabWindow(mainWindow), Qt::blue, picture) > 40, "the targets are boxed in blue");
    closeAndExpectCleanExit();
    QVERIFY(expected.size() > 80);
    QCOMPARE(media::fileLines(rows), expected);
}

QString EndToEndTest::makeCrossings(QList<int> *crossingFrames, QList<int> *directions)
{
    const cv::Size person(24, 60);
    const std::vector<scenes::Walker> walkers = {
        {person, {-24, 10}, {2.5, 0}, 1},    {person, {640, 85}, {-2.2, 0}, 20},  {person, {-24, 160}, {3.0, 0}, 40},
        {person, {640, 235}, {-2.8, 0}, 60}, {person, {-24, 310}, {2.4, 0}, 80},
    };
    crossingFrames->clear();
    directions->clear();
    for (const scenes::Walker &walker : walkers) {
        // The first frame whose centre has passed x = 320.
        const double centre = walker.start.x + walker.size.width / 2.0;
        const int frames = int(std::ceil((320 - centre) / walker.velocity.x));
        crossingFrames->append(walker.firstFrame + frames);
        directions->append(walker.velocity.x > 0 ? 1 : -1);
    }
    const QString video = scratch.filePath("crossings.avi");
    scenes::writeScene(scenes::makeScene(cv::Size(640, 400), 320, walkers, 11), video, video + ".gt.txt");
    return video;
}

void EndToEndTest::waitForTheRunToEnd(const QString &rows)
{
    const QRect window = desktop::windowGeometry(mainWindow);
    QImage last;
    qint64 size = -1;
    for (int still = 0, waited = 0; still < 10 && waited < 60000; waited += 100, QTest::qWait(100)) {
        const QImage now = desktop::grabWindow(mainWindow).copy(QRect(QPoint(), window.size()));
        const qint64 grown = QFileInfo(rows).size();
        still = now == last && grown == size ? still + 1 : 0;
        last = now;
        size = grown;
    }
}

void EndToEndTest::lineCountsEachCrossingOnTheTrackThatCarriedIt()
{
    QList<int> truth, directions;
    const QString video = makeCrossings(&truth, &directions);
    const QString crossings = scratch.filePath("crossings.csv"), rows = scratch.filePath("crossing rows.csv");
    // From the bottom up: from left to right counts +1.
    QVERIFY(startProgram({"--line", "320,395,320,5", "--min-area", "500", "--max-area", "6000", "--crossings",
                          crossings, "--boxes", rows, video}));
    QVERIFY(desktop::click(desktop::windowGeometry(mainWindow).topLeft() + program::buttonPoint("pushButton_2")));
    QTest::qWait(1000);
    waitForTheRunToEnd(crossings);
    closeAndExpectCleanExit();

    const QStringList counted = media::fileLines(crossings);
    QCOMPARE(counted.filter(QRegularExpression(",1$")).size(), 3);
    QCOMPARE(counted.filter(QRegularExpression(",-1$")).size(), 2);
    const std::vector<motreference::Row> boxes = motreference::parseRows(media::fileLines(rows));
    const std::vector<motreference::Row> walkers = motreference::parseRows(media::fileLines(video + ".gt.txt"));
    for (const QString &crossing : counted) {
        const QStringList field = crossing.split(',');  // frame,line,track,direction
        QCOMPARE(field[1], "1");
        // The walker that crossed then, the one its track's box lay on.
        int walker = -1;
        for (int i = 0; i < truth.size(); ++i)
            if (std::abs(truth[i] - field[0].toInt()) <= 2 && directions[i] == field[3].toInt())
                walker = i + 1;
        QVERIFY2(walker > 0, qPrintable(crossing + " crosses at no walker's frame: " + media::fileLines(crossings).join(' ')));
        bool onTheWalker = false;
        for (const motreference::Row &box : boxes)
            for (const motreference::Row &truthBox : walkers)
                onTheWalker = onTheWalker
                    || (box.frame == field[0].toInt() && box.id == field[2].toInt() && truthBox.frame == box.frame
                        && truthBox.id == walker && (box.box & truthBox.box).area() > 0.5 * truthBox.box.area());
        QVERIFY2(onTheWalker, qPrintable(crossing));
    }
}

void EndToEndTest::linesDrawnWithTheMouseLieAtTheVideoPixelsUnderIt()
{
    QList<int> truth, directions;
    const QString video = makeCrossings(&truth, &directions);
    const QString crossings = scratch.filePath("drawn crossings.csv");
    const QRect defaultLabel = program::widgetRect("label", false, true);

    // In the window as it opens, paused early on; then, in a larger one, with no run.
    // (Wine's windows, with no window manager, keep the size they open with.)
    for (const auto &[grow, x] : {std::pair(QSize(0, 0), 320), std::pair(QSize(340, 260), 200)}) {
        QStringList arguments = {"--min-area", "500", "--max-area", "6000", "--crossings", crossings, video};
        if (!grow.isEmpty())
            arguments << "-qwindowgeometry" << QString("%1x%2").arg(719 + grow.width()).arg(434 + grow.height());
        QVERIFY(startProgram(arguments));
        const QPoint origin = desktop::windowGeometry(mainWindow).topLeft();
        const QRect label = defaultLabel.adjusted(0, 0, grow.width(), grow.height()).translated(origin);
        const QRect picture = pictureIn(label, QSize(640, 400));
        auto onScreen = [&](int videoX, int videoY) {
            return QPoint(picture.x() + int((videoX + 0.5) * picture.width() / 640),
                          picture.y() + int((videoY + 0.5) * picture.height() / 400));
        };
        const QPoint button = origin + program::buttonPoint("pushButton_2") + QPoint(grow.width() * 3 / 4, grow.height());
        if (grow.isEmpty()) {
            QVERIFY(desktop::click(button));
            QTest::qWait(400);
            QVERIFY(desktop::typeKeyAt(label.center(), "space"));  // paused
        } else {
            // The line kept for this video from before, and the picture on show, first.
            QVERIFY(desktop::click(button));
            QTest::qWait(1000);
            QVERIFY(desktop::typeKeyAt(label.center(), "x"));
            QTest::qWait(500);
            // Analysis ▸ Remove Lines
            QVERIFY(desktop::typeKeyAt(label.center(), "alt+a"));
            QTest::qWait(300);
            QVERIFY(desktop::xdotool({"key", "n"}));
            QTest::qWait(300);
        }
        QVERIFY(desktop::typeKeyAt(label.center(), "ctrl+l"));
        QTest::qWait(300);
        QVERIFY(desktop::drag({onScreen(x, 395), onScreen(x, 200), onScreen(x, 5)}));
        QTest::qWait(300);
        QVERIFY(grow.isEmpty() ? desktop::typeKeyAt(label.center(), "space") : desktop::click(button));
        QTest::qWait(1000);
        waitForTheRunToEnd(crossings);
        closeAndExpectCleanExit();

        // Each walker crossed where the line was drawn: a frame earlier or later for
        // each pixel beside it.
        const QStringList counted = media::fileLines(crossings);
        QCOMPARE(counted.size(), 5);
        for (const QString &crossing : counted) {
            const QStringList field = crossing.split(',');
            bool near = false;
            for (int i = 0; i < truth.size(); ++i) {
                const double speed = std::abs(std::array<double, 5>{2.5, 2.2, 3.0, 2.8, 2.4}[i]);
                const int expected = truth[i] + int(std::lround(directions[i] * (x - 320) / speed));
                near = near || (directions[i] == field[3].toInt() && std::abs(field[0].toInt() - expected) <= 3);
            }
            QVERIFY2(near, qPrintable(QString("line at x %1: %2").arg(x).arg(counted.join(' '))));
        }
    }
}

void EndToEndTest::ignoredRegionLeavesTheOtherBoxesAsTheyWere()
{
    // The walkers keep away from the top left corner, where leaves flicker in the wind.
    const cv::Size person(24, 60);
    const std::vector<scenes::Walker> walkers = {{person, {-24, 200}, {2.5, 0}, 1}, {person, {640, 300}, {-2.0, 0}, 30},
                                                 {person, {300, 400}, {0.3, -2.2}, 20}};
    const cv::Rect leaves(16, 16, 48, 48);
    QStringList rows;
    for (const bool flickers : {true, false}) {
        const QString video = scratch.filePath(flickers ? "leaves.avi" : "no leaves.avi");
        const scenes::Scene scene = scenes::makeScene(cv::Size(640, 400), 200, walkers, 5, flickers ? leaves : cv::Rect());
        QVERIFY(scenes::writeScene(scene, video, video + ".gt.txt"));
        if (flickers) {
            // Without the region, the leaves are boxed.
            const QStringList plain = media::plainDetectorRows(media::readAllFrames(video),
                                                               *cv::createBackgroundSubtractorMOG2(500, 16, false), 200, 6000);
            QVERIFY(std::any_of(plain.begin(), plain.end(), [](const QString &row) { return row.section(',', 2, 2).toInt() < 64; }));
        }
        const QString saved = scratch.filePath(flickers ? "leaves.csv" : "no leaves.csv");
        QStringList arguments = {"--min-area", "200", "--max-area", "6000", "--boxes", saved, video};
        if (flickers)
            arguments = QStringList{"--ignore", "0,0,100,0,100,100,0,100"} + arguments;
        QVERIFY(startProgram(arguments));
        QVERIFY(desktop::click(desktop::windowGeometry(mainWindow).topLeft() + program::buttonPoint("pushButton_2")));
        QTest::qWait(1000);
        waitForTheRunToEnd(saved);
        closeAndExpectCleanExit();
        rows << media::fileLines(saved).join('\n');
    }
    for (const motreference::Row &box : motreference::parseRows(rows[0].split('\n')))
        QVERIFY(!cv::Rect2d(0, 0, 100, 100).contains(cv::Point2d(box.box.x + box.box.width / 2, box.box.y + box.box.height / 2)));
    QVERIFY(rows[1].count('\n') > 100);
    QCOMPARE(rows[0], rows[1]);
}

void EndToEndTest::fromAndToBeginAndEndTheRowsThere()
{
    const std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/bike.avi");
    const std::vector<cv::Mat> range(frames.begin() + 59, frames.begin() + 150);  // frames 60 to 150
    QStringList expected;
    for (const QString &row : media::plainDetectorRows(range, *cv::createBackgroundSubtractorMOG2(500, 16, false), 500, 1000))
        expected << QString::number(row.section(',', 0, 0).toInt() + 59) + "," + row.section(',', 1);
    const QString rows = scratch.filePath("range.csv");
    QVERIFY(startProgram({"--from", "60", "--to", "150", "--boxes", rows}));
    QVERIFY(desktop::click(desktop::windowGeometry(mainWindow).topLeft() + program::buttonPoint("pushButton_2")));
    QTest::qWait(1000);
    waitForTheRunToEnd(rows);
    closeAndExpectCleanExit();
    QVERIFY(expected.size() > 20);
    QCOMPARE(media::fileLines(rows), expected);
}

void EndToEndTest::spacePausesArrowStepsAndTheSliderMovesToAFrame()
{
    // Someone walks through every frame of it, so that each looks unlike the next.
    QList<int> crossingFrames, directions;
    const QString video = makeCrossings(&crossingFrames, &directions);
    const std::vector<cv::Mat> frames = media::readAllFrames(video);
    const std::vector<cv::Mat> thumbnails = thumbnailsOf(frames, cv::Size(80, 50));
    QVERIFY(startProgram({video}));
    const QPoint origin = desktop::windowGeometry(mainWindow).topLeft();
    const QRect label = program::widgetRect("label", false, true).translated(origin);
    const QRect picture = pictureIn(label, QSize(640, 400));
    const QRect slider = program::widgetRect("seekBar", false, true).translated(origin);
    // The frame on show, numbered as the source numbers them (from 1).
    auto shown = [&] {
        return closestFrame(frames, thumbnails, desktop::grabWindow(mainWindow).copy(picture.translated(-origin))) + 1;
    };

    QVERIFY(desktop::click(origin + program::buttonPoint("pushButton_2")));
    QTest::qWait(800);
    QVERIFY(desktop::typeKeyAt(label.center(), "space"));
    QTest::qWait(500);
    const int paused = shown();
    QTest::qWait(3000);
    QCOMPARE(shown(), paused);  // no frame in 3 s
    QVERIFY(desktop::typeKeyAt(label.center(), "Right"));
    QTest::qWait(500);
    QCOMPARE(shown(), paused + 1);  // exactly one
    // A click on the slider's groove, far to its right: a page (a twentieth) on, while paused.
    QVERIFY(desktop::click(QPoint(slider.right() - 2, slider.center().y())));
    QTest::qWait(800);
    QCOMPARE(shown(), paused + 1 + int(frames.size()) / 20);

    // Analysis ▸ Ignore Region… while paused: two corners are refused, and the picture
    // stays as it was; three make a region, drawn on it at once.
    const QImage before = desktop::grabWindow(mainWindow).copy(picture.translated(-origin));
    for (const int corners : {2, 3}) {
        QVERIFY(desktop::typeKeyAt(label.center(), "alt+a"));
        QTest::qWait(300);
        QVERIFY(desktop::xdotool({"key", "i"}));
        QTest::qWait(300);
        for (int i = 0; i < corners; ++i) {
            const QPoint corner = picture.center() + QPoint(i * 40, (i % 2) * 30);
            QVERIFY(desktop::xdotool({"mousemove", QString::number(corner.x()), QString::number(corner.y()), "click",
                                      "--repeat", i == corners - 1 ? "2" : "1", "--delay", "80", "1"}));
            QTest::qWait(200);
        }
        QTest::qWait(500);
        const QImage after = desktop::grabWindow(mainWindow).copy(picture.translated(-origin));
        QCOMPARE(after == before, corners < 3);
    }
    QCOMPARE(shown(), paused + 1 + int(frames.size()) / 20);  // still paused
    closeAndExpectCleanExit();
}

void EndToEndTest::badSourceGivesAMessageAndTheWindowStaysUsable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("not a video") << "file";
    QTest::newRow("a camera that does not exist") << "camera";
    QTest::newRow("a server that accepts and then says nothing, closed at once") << "close";
    QTest::newRow("a server that accepts and then says nothing, waited for") << "wait";
}

void EndToEndTest::badSourceGivesAMessageAndTheWindowStaysUsable()
{
    QFETCH(QString, kind);
    QTcpServer silent;
    QString source;
    QStringList arguments;
    if (kind == "camera") {
        source = "camera 7";
        arguments = QStringList{"--camera", "7"};
    } else if (kind == "file") {
        source = QDir(scratch.path()).filePath("notes.avi");
        QFile notes(source);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write(QByteArray("These are notes, not a video.\n").repeated(100));
    } else {
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        source = QString("http://127.0.0.1:%1/camera.ts").arg(silent.serverPort());
    }
    QVERIFY(startProgram(arguments.isEmpty() ? QStringList{source} : arguments, true));
    QVERIFY(desktop::click(desktop::windowGeometry(mainWindow).topLeft() + program::buttonPoint("pushButton_2")));

    if (kind == "close") {
        // Opening must not freeze the window: it closes, and the program ends, at once.
        QTest::qWait(1000);
        closeAndExpectCleanExit();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = processinfo::cpuSeconds(kestrovix.processId());
    // Wine names the file by its Windows path.
    QVERIFY(saysOnStandardError(kind == "file" && program::underWine() ? "notes.avi: it is not a video"
                                                                       : "Cannot open " + source,
                                11000));
    qInfo("the message came after %lld ms", clock.elapsed());
    // Waiting for an answer keeps the window served, and the core idle.
    const double cpu = processinfo::cpuSeconds(kestrovix.processId()) - cpuBefore;
    qInfo("%.2f s of CPU meanwhile", cpu);
    if (kind == "wait" && !program::underWine())
        QVERIFY2(cpu < 0.10 * clock.elapsed() / 1000.0,
                 qPrintable(QString("%1 s of CPU in %2 ms").arg(cpu).arg(clock.elapsed())));
    QCOMPARE(kestrovix.state(), QProcess::Running);
    closeAndExpectCleanExit();
}

void EndToEndTest::commandLineHelpVersionAndMistakesNeedNoDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "--camera <N>";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << "[VIDEO]";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "kestrovix 1.";
    QTest::newRow("-v") << QStringList{"-v"} << 0 << "kestrovix 1.";
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << "Unknown option 'frobnicate'";
    QTest::newRow("bad camera") << QStringList{"--camera", "front"} << 2 << "not \"front\"";
    QTest::newRow("camera and video") << QStringList{"--camera", "0", "a.avi"} << 2 << "not both";
    QTest::newRow("a line outside the frame") << QStringList{"--line", "10,10,400,100"} << 2 << "outside the picture";
    QTest::newRow("a region of 2 corners") << QStringList{"--ignore", "1,1,50,50"} << 2 << "at least 3 corners";
    QTest::newRow("a malformed number") << QStringList{"--watch", "1,1,50,x,9,9"} << 2 << "\"x\" is not a whole number";
    QTest::newRow("--to before --from") << QStringList{"--from", "30", "--to", "20"} << 2 << "before --from 30";
}

void EndToEndTest::commandLineHelpVersionAndMistakesNeedNoDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    if (program::underWine())
        QSKIP("Wine needs a display of its own");
    // As over ssh: no display at all.
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("KESTROVIX_PROGRAM_UNDER_TEST", KESTROVIX_PROGRAM), arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QString said = QString::fromUtf8(exitCode == 0 ? process.readAllStandardOutput()
                                                          : process.readAllStandardError());
    QVERIFY2(said.contains(output), qPrintable(said));
}

void EndToEndTest::outputClosedByItsButtonStartsTrackingWithoutHanging()
{
    const QRect bar = program::widgetRect("progressBar_2", true);
    const unsigned long output = startManualRun();
    QVERIFY(output);
    QTest::qWait(300);
    const QImage waiting = desktop::grabWindow(mainWindow);

    // Without a region nothing is tracked, and the frames may all play within a second:
    // the bar moving on from where it waited shows the run went on.
    QVERIFY(desktop::requestClose(output));
    QVERIFY2(windowGone("^output$", 3000), "output closes");
    QTRY_VERIFY2_WITH_TIMEOUT(waiting.copy(bar) != desktop::grabWindow(mainWindow).copy(bar), "the run goes on",
                              5000);

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
    QVERIFY(startProgram());
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
    if (program::underWine())
        QSKIP("Signals are the Linux program's; Wine has its own handling of them");

    // The sound starts with the first click; from then on a sound library may want the
    // signals for itself.
    if (state == "before any click") {
        QVERIFY(startProgram());
    } else if (state == "automatic run") {
        const QPoint buttonOffset = program::buttonPoint("pushButton_2");
        QVERIFY(startProgram());
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
