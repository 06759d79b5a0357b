// Manual recognition: tracking quality on video3.mp4, and runs of the slot in the
// real window that end the selection with a key or the close button, count the
// frames, stop on "q", and cope with an empty region and missing or short videos.

#include "desktop.h"
#include "kestrovix.h"
#include "manualrecognition.h"
#include "media.h"
#include "program.h"
#include "regionselection.h"
#include "resourcedirectory.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QtTest>

#include <opencv2/imgproc.hpp>
#include <opencv2/tracking.hpp>


namespace {

QProgressBar *progressBar(Kestrovix &w) { return w.findChild<QProgressBar *>("progressBar_2"); }

// The frame of `frames` that the picture shows, judged by the smallest difference.
int closestFrame(const std::vector<cv::Mat> &frames, const QImage &picture)
{
    int best = -1;
    double bestDifference = 1e300;
    for (size_t i = 0; i < frames.size(); ++i) {
        const QImage candidate = media::scaledForDisplay(frames[i], picture.size(), Qt::FastTransformation);
        double difference = 0;
        for (int y = 0; y < picture.height(); y += 2)
            for (int x = 0; x < picture.width(); x += 2)
                difference += std::abs(qGray(picture.pixel(x, y)) - qGray(candidate.pixel(x, y)));
        if (difference < bestDifference) {
            bestDifference = difference;
            best = static_cast<int>(i);
        }
    }
    return best;
}

} // namespace

class ManualRecognitionTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void trackerFollowsTheTargetOnVideo3();
    void completeRunCountsEveryTrackedFrameAndFillsTheBar();
    void secondRunContinuesCounting();
    void qTypedIntoTheWindowStopsWithoutCountingThatFrame();
    void emptyRegionRunsWithoutBoxes();
    void missingVideoSaysSoAndEnds();
    void oneFrameVideoWithOutputClosedByItsButton();
};

void ManualRecognitionTest::init()
{
    setResourceDirectory(media::resources().toStdString());
}

void ManualRecognitionTest::trackerFollowsTheTargetOnVideo3()
{
    const std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/video3.mp4");
    const std::vector<cv::Rect> truth = media::readVideo3Truth();
    QCOMPARE(frames.size(), truth.size());

    cv::Ptr<cv::TrackerCSRT> tracker = cv::TrackerCSRT::create(cv::TrackerCSRT::Params());
    cv::Rect region = truth[0];  // drawn on the first frame, tracking from the second
    QVERIFY(startTracking(*tracker, frames[1], region));
    int onTarget = 0;
    for (size_t i = 2; i < frames.size(); ++i) {
        cv::Mat frame = frames[i].clone();
        if (trackAndMark(*tracker, frame, region)) {
            QCOMPARE(frame.at<cv::Vec3b>(region.y, region.x + region.width / 2), cv::Vec3b(255, 0, 0));
            onTarget += media::intersectionOverUnion(region, truth[i]) >= 0.5;
        }
    }
    const int tracked = int(frames.size()) - 2;
    QVERIFY2(onTarget >= tracked * 9 / 10, qPrintable(QString("%1 of %2 on target").arg(onTarget).arg(tracked)));
}

void ManualRecognitionTest::completeRunCountsEveryTrackedFrameAndFillsTheBar()
{
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    g_roi = media::readVideo3Truth().at(0);

    desktop::typeKeyIntoWindowLater(300, "^output$", "space");
    w.videoplay();
    QVERIFY(progressBar(w)->isVisible());
    QCOMPARE(progressBar(w)->value(), 482);
    QVERIFY(desktop::findWindows("^output$").isEmpty());
    QVERIFY(media::countPixels(program::shownPicture(w), Qt::blue) > 0);

    // The count goes on past the bar's maximum; the bar stays full.
    desktop::typeKeyIntoWindowLater(300, "^output$", "space");
    w.videoplay();
    QCOMPARE(progressBar(w)->value(), 482);
}

void ManualRecognitionTest::secondRunContinuesCounting()
{
    QTemporaryDir directory;
    std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/video3.mp4");
    frames.resize(100);
    QVERIFY(media::writeVideo(directory.filePath("video3.mp4"), frames));
    setResourceDirectory(directory.path().toStdString());

    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    g_roi = cv::Rect(140, 100, 36, 36);
    desktop::typeKeyIntoWindowLater(300, "^output$", "space");
    w.videoplay();
    QCOMPARE(progressBar(w)->value(), 98);
    desktop::typeKeyIntoWindowLater(300, "^output$", "space");
    w.videoplay();
    QCOMPARE(progressBar(w)->value(), 196);
}

void ManualRecognitionTest::qTypedIntoTheWindowStopsWithoutCountingThatFrame()
{
    const std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/video3.mp4");
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    g_roi = media::readVideo3Truth().at(0);
    // Below "output", which stays open when the selection ends with a key.
    const QPoint inside = w.mapToGlobal(QPoint(w.width() / 2, w.height() - 15));

    desktop::typeKeyIntoWindowLater(300, "^output$", "space");
    desktop::runLater(2500, QString("xdotool mousemove %1 %2 key q").arg(inside.x()).arg(inside.y()));
    w.videoplay();

    const int counted = progressBar(w)->value();
    QVERIFY2(counted > 0 && counted < 482, qPrintable(QString::number(counted)));
    // Frames 0 and 1 are not tracked; the frame after the last counted one is on screen.
    QCOMPARE(closestFrame(frames, program::shownPicture(w)), counted + 2);
}

void ManualRecognitionTest::emptyRegionRunsWithoutBoxes()
{
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    g_roi = cv::Rect(50, 50, 0, 0);

    desktop::typeKeyIntoWindowLater(300, "^output$", "space");
    w.videoplay();
    QCOMPARE(progressBar(w)->value(), 482);
    QCOMPARE(media::countPixels(program::shownPicture(w), Qt::blue), 0);
}

void ManualRecognitionTest::missingVideoSaysSoAndEnds()
{
    QTemporaryDir empty;
    setResourceDirectory(empty.path().toStdString());
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QElapsedTimer clock;
    clock.start();
    const QByteArray printed = program::standardOutputOf([&] { w.videoplay(); });
    QVERIFY(clock.elapsed() < 3000);
    QCOMPARE(printed, QByteArray("can not open ...\n"));
    QVERIFY(progressBar(w)->isVisible());
    QCOMPARE(progressBar(w)->value(), 0);
    QVERIFY(desktop::findWindows("^output$").isEmpty());
}

void ManualRecognitionTest::oneFrameVideoWithOutputClosedByItsButton()
{
    QTemporaryDir directory;
    std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/video3.mp4");
    frames.resize(1);
    QVERIFY(media::writeVideo(directory.filePath("video3.mp4"), frames));
    setResourceDirectory(directory.path().toStdString());

    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    desktop::closeWindowLater(300, "^output$");
    QElapsedTimer clock;
    clock.start();
    const QByteArray printed = program::standardOutputOf([&] { w.videoplay(); });
    QVERIFY(clock.elapsed() < 10000);
    QVERIFY(printed.isEmpty());
    QCOMPARE(progressBar(w)->value(), 0);
    QVERIFY(desktop::findWindows("^output$").isEmpty());
}

KESTROVIX_TEST_MAIN(ManualRecognitionTest)

#include "tst_manualrecognition.moc"
