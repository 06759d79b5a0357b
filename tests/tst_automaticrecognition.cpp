// Automatic recognition: the size band, the boxes on bike.avi against its ground
// truth, and the run in the real window, stopped by the video's end, a key or a
// missing file.

#include "automaticrecognition.h"
#include "desktop.h"
#include "kestrovix.h"
#include "media.h"
#include "program.h"
#include "resourcedirectory.h"
#include "sleepingthreadpool.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <opencv2/core/parallel/parallel_backend.hpp>
#include <opencv2/imgproc.hpp>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace {

// A binary mask holding one filled polygon.
cv::Mat maskWith(const std::vector<cv::Point> &polygon)
{
    cv::Mat mask(240, 320, CV_8UC1, cv::Scalar(0));
    cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{polygon}, cv::Scalar(255), cv::LINE_8);
    return mask;
}

std::vector<cv::Point> rectangleOfPixels(int x, int y, int width, int height)
{
    return {{x, y}, {x + width - 1, y}, {x + width - 1, y + height - 1}, {x, y + height - 1}};
}

double hullAreaOf(const cv::Mat &mask)
{
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(mask.clone(), contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    std::vector<cv::Point> hull;
    cv::convexHull(contours.at(0), hull);
    return cv::contourArea(hull);
}

// Every pixel where `result` differs from `frame` is green and lies on the border of one of `boxes`.
bool onlyGreenBoxesAdded(const cv::Mat &frame, const cv::Mat &result, const std::vector<cv::Rect> &boxes)
{
    cv::Mat borders(frame.size(), CV_8UC1, cv::Scalar(0));
    for (const cv::Rect &box : boxes)
        cv::rectangle(borders, box, cv::Scalar(255), 1, cv::LINE_8);
    for (int y = 0; y < frame.rows; ++y)
        for (int x = 0; x < frame.cols; ++x) {
            const cv::Vec3b before = frame.at<cv::Vec3b>(y, x), after = result.at<cv::Vec3b>(y, x);
            if (borders.at<uchar>(y, x))
                if (after != cv::Vec3b(0, 255, 0))
                    return false;
            if (!borders.at<uchar>(y, x) && after != before)
                return false;
        }
    return true;
}

// What the picture area shows after each frame of a complete run on bike.avi.
std::vector<QImage> expectedPictures(const QSize &labelSize)
{
    std::vector<QImage> pictures;
    cv::Ptr<cv::BackgroundSubtractorMOG2> model = createMovingObjectModel();
    cv::Mat foreground;
    for (const cv::Mat &frame : media::readAllFrames(media::resources() + "/bike.avi")) {
        cv::Mat result = frame.clone();
        markMovingObjects(frame, *model, foreground, result);
        pictures.push_back(media::scaledForDisplay(result, labelSize, Qt::FastTransformation));
    }
    return pictures;
}

int indexOfPicture(const std::vector<QImage> &pictures, const QImage &shown)
{
    for (size_t i = 0; i < pictures.size(); ++i)
        if (pictures[i] == shown)
            return static_cast<int>(i);
    return -1;
}

} // namespace

class AutomaticRecognitionTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void hullAreaBandIsExclusive_data();
    void hullAreaBandIsExclusive();
    void concaveBlobIsJudgedByItsHullAndBoxedByItsContour();
    void boxesOnBikeFollowTheGroundTruth();
    void sleepingThreadsRunEveryStripeOnceWithTheSameResults();
    void runShowsEveryFrameWithBoxesAndHidesTheProgressBar();
    void keyTypedIntoTheWindowStopsAfterTheShownFrame();
    void missingOrUnreadableVideoReturnsAtOnce_data();
    void missingOrUnreadableVideoReturnsAtOnce();
    void relativeMediaDirectoryLiesBesideTheProgram();
};

void AutomaticRecognitionTest::init()
{
    setResourceDirectory(media::resources().toStdString());
}

void AutomaticRecognitionTest::hullAreaBandIsExclusive_data()
{
    // A filled rectangle of w x h pixels has a hull of (w - 1) x (h - 1): through the pixel centres.
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("hullArea");
    QTest::addColumn<bool>("boxed");
    QTest::newRow("499") << 2 << 500 << 499.0 << false;
    QTest::newRow("500") << 21 << 26 << 500.0 << false;
    QTest::newRow("501") << 4 << 168 << 501.0 << true;
    QTest::newRow("middle") << 26 << 31 << 750.0 << true;
    QTest::newRow("999") << 28 << 38 << 999.0 << true;
    QTest::newRow("1000") << 26 << 41 << 1000.0 << false;
    QTest::newRow("1001") << 8 << 144 << 1001.0 << false;
}

void AutomaticRecognitionTest::hullAreaBandIsExclusive()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(double, hullArea);
    QFETCH(bool, boxed);
    const int top = height > 200 ? 0 : 40;
    cv::Mat mask(600, 320, CV_8UC1, cv::Scalar(0));
    cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{rectangleOfPixels(50, top, width, height)},
                 cv::Scalar(255));
    QCOMPARE(hullAreaOf(mask), hullArea);

    cv::Mat result(mask.size(), CV_8UC3, cv::Scalar(10, 20, 30));
    const std::vector<cv::Rect> boxes = boxMiddlingContours(mask, result);
    QCOMPARE(boxes.size(), size_t(boxed ? 1 : 0));
    if (boxed)
        QCOMPARE(boxes[0], cv::Rect(50, top, width, height));
}

void AutomaticRecognitionTest::concaveBlobIsJudgedByItsHullAndBoxedByItsContour()
{
    // A thin "U": little area of its own, but its hull spans the whole 30 x 30 square.
    const std::vector<cv::Point> u = {{100, 50}, {104, 50}, {104, 75}, {125, 75}, {125, 50}, {129, 50},
                                      {129, 79}, {100, 79}};
    cv::Mat mask = maskWith(u);
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(mask.clone(), contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    QVERIFY(cv::contourArea(contours.at(0)) < 500);
    QVERIFY(hullAreaOf(mask) > 500 && hullAreaOf(mask) < 1000);

    cv::Mat background(mask.size(), CV_8UC3, cv::Scalar(90, 90, 90));
    cv::Mat result = background.clone();
    const std::vector<cv::Rect> boxes = boxMiddlingContours(mask, result);
    QCOMPARE(boxes.size(), size_t(1));
    QCOMPARE(boxes[0], cv::boundingRect(contours[0]));
    QVERIFY(onlyGreenBoxesAdded(background, result, boxes));

    // A thin "L" whose own area lies in the band but whose hull does not.
    const std::vector<cv::Point> l = {{10, 10}, {13, 10}, {13, 120}, {120, 120}, {120, 123}, {10, 123}};
    mask = maskWith(l);
    contours.clear();
    cv::findContours(mask.clone(), contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    QVERIFY(cv::contourArea(contours.at(0)) > 500 && cv::contourArea(contours[0]) < 1000);
    result = background.clone();
    QVERIFY(boxMiddlingContours(mask, result).empty());
}

void AutomaticRecognitionTest::boxesOnBikeFollowTheGroundTruth()
{
    const std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/bike.avi");
    const std::vector<media::BikeObject> truth = media::readBikeTruth();
    QVERIFY(frames.size() >= 200);

    cv::Ptr<cv::BackgroundSubtractorMOG2> model = createMovingObjectModel();
    cv::Mat foreground;
    std::vector<std::vector<cv::Rect>> boxesPerFrame;
    for (const cv::Mat &frame : frames) {
        cv::Mat result = frame.clone();
        boxesPerFrame.push_back(markMovingObjects(frame, *model, foreground, result));
        QVERIFY(onlyGreenBoxesAdded(frame, result, boxesPerFrame.back()));
    }

    int mustBox = 0, boxed = 0, mustNotBox = 0, wronglyBoxed = 0;
    for (const media::BikeObject &object : truth) {
        bool hasBox = false;
        for (const cv::Rect &box : boxesPerFrame.at(object.frame))
            hasBox = hasBox || media::intersectionOverUnion(box, object.box) > 0.3;
        if (object.expected == 1) {
            ++mustBox;
            boxed += hasBox;
        } else if (object.expected == 0) {
            ++mustNotBox;
            for (const cv::Rect &box : boxesPerFrame.at(object.frame))
                wronglyBoxed += (box & object.box).area() > 0;
        }
    }
    QVERIFY(mustBox > 100 && mustNotBox > 100);
    QVERIFY2(boxed >= mustBox * 95 / 100, qPrintable(QString("%1 of %2 boxed").arg(boxed).arg(mustBox)));
    QVERIFY2(wronglyBoxed == 0, qPrintable(QString("%1 wrong boxes").arg(wronglyBoxed)));
}

void AutomaticRecognitionTest::sleepingThreadsRunEveryStripeOnceWithTheSameResults()
{
    std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/bike.avi");
    QVERIFY(frames.size() >= 60);
    frames.resize(60);
    auto markAll = [&] {
        std::vector<cv::Mat> results;
        cv::Ptr<cv::BackgroundSubtractorMOG2> model = createMovingObjectModel();
        cv::Mat foreground;
        for (const cv::Mat &frame : frames) {
            results.push_back(frame.clone());
            markMovingObjects(frame, *model, foreground, results.back());
            results.push_back(foreground.clone());
        }
        return results;
    };
    const std::vector<cv::Mat> byOpenCv = markAll();

    runParallelLoopsOnSleepingThreads();
    const std::vector<cv::Mat> bySleepingThreads = markAll();
    for (size_t i = 0; i < byOpenCv.size(); ++i)
        QVERIFY2(cv::norm(byOpenCv[i], bySleepingThreads[i], cv::NORM_INF) == 0, qPrintable(QString::number(i)));

    std::vector<std::atomic<int>> runs(4096);
    std::set<std::thread::id> threads;
    std::mutex threadsMutex;
    cv::parallel_for_(cv::Range(0, int(runs.size())), [&](const cv::Range &range) {
        for (int i = range.start; i < range.end; ++i)
            ++runs[i];
        std::this_thread::sleep_for(std::chrono::microseconds(200));  // time for every thread to join in
        std::lock_guard<std::mutex> lock(threadsMutex);
        threads.insert(std::this_thread::get_id());
    }, 64);
    QVERIFY(std::all_of(runs.begin(), runs.end(), [](const std::atomic<int> &n) { return n == 1; }));
    QCOMPARE(threads.size() > 1, std::thread::hardware_concurrency() > 1);

    // A failing stripe fails the loop in its caller, and the threads serve the next one.
    QVERIFY_THROWS_EXCEPTION(cv::Exception, cv::parallel_for_(cv::Range(0, 64), [](const cv::Range &range) {
        if (range.start <= 40 && 40 < range.end)
            CV_Error(cv::Error::StsError, "stripe 40");
    }, 64));
    QCOMPARE(cv::norm(markAll().back(), byOpenCv.back(), cv::NORM_INF), 0.0);
    cv::parallel::setParallelForBackend(std::shared_ptr<cv::parallel::ParallelForAPI>());
}

void AutomaticRecognitionTest::runShowsEveryFrameWithBoxesAndHidesTheProgressBar()
{
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *progressBar = w.findChild<QProgressBar *>("progressBar_2");
    progressBar->setVisible(true);
    const std::vector<QImage> pictures = expectedPictures(w.findChild<QLabel *>("label")->size());

    // A real click on "自动识别"; the run happens inside its slot.
    QVERIFY(desktop::click(desktop::centreOf(w.findChild<QPushButton *>("pushButton_2"))));
    QTRY_VERIFY_WITH_TIMEOUT(!progressBar->isVisible(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(indexOfPicture(pictures, program::shownPicture(w)), int(pictures.size()) - 1, 30000);
}

void AutomaticRecognitionTest::keyTypedIntoTheWindowStopsAfterTheShownFrame()
{
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const std::vector<QImage> pictures = expectedPictures(w.findChild<QLabel *>("label")->size());
    const QPoint inside = desktop::centreOf(&w);

    desktop::runLater(700, QString("xdotool mousemove %1 %2 key x").arg(inside.x()).arg(inside.y()));
    QElapsedTimer clock;
    clock.start();
    w.onOpencvpic();
    const qint64 elapsed = clock.elapsed();

    const int shown = indexOfPicture(pictures, program::shownPicture(w));
    QVERIFY2(shown >= 0, "the picture area shows a frame of the run");
    QVERIFY2(shown < int(pictures.size()) - 1, qPrintable(QString("stopped at frame %1").arg(shown)));
    // The key came at 0.7 s; a run of every frame takes at least 10 ms a frame.
    QVERIFY2(elapsed < qint64(pictures.size()) * 10, qPrintable(QString("%1 ms").arg(elapsed)));
}

void AutomaticRecognitionTest::missingOrUnreadableVideoReturnsAtOnce_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("random bytes") << QByteArray(4096, '\x5a');
}

void AutomaticRecognitionTest::missingOrUnreadableVideoReturnsAtOnce()
{
    QFETCH(QByteArray, content);
    QTemporaryDir directory;
    if (!content.isEmpty()) {
        QFile file(directory.filePath("bike.avi"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    setResourceDirectory(directory.path().toStdString());

    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.presentFrame(cv::Mat(60, 80, CV_8UC3, cv::Scalar(0, 0, 200)));
    const QImage before = program::shownPicture(w);
    auto *progressBar = w.findChild<QProgressBar *>("progressBar_2");
    progressBar->setVisible(true);

    QElapsedTimer clock;
    clock.start();
    w.onOpencvpic();
    QVERIFY(clock.elapsed() < 2000);
    QVERIFY(!progressBar->isVisible());
    QCOMPARE(program::shownPicture(w), before);
}

void AutomaticRecognitionTest::relativeMediaDirectoryLiesBesideTheProgram()
{
    // As installed on Windows: the media in a folder beside the executable, named
    // relatively, and the program started from some other folder.
    QTemporaryDir beside(QCoreApplication::applicationDirPath() + "/media-XXXXXX");
    QVERIFY(QFile::copy(media::resources() + "/bike.avi", beside.filePath("bike.avi")));
    setResourceDirectory(QFileInfo(beside.path()).fileName().toStdString());
    QTemporaryDir elsewhere;
    const QString started = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere.path()));

    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.onOpencvpic();
    QDir::setCurrent(started);
    QVERIFY2(!program::shownPicture(w).isNull(), "bike.avi was found and played");
}

QTEST_MAIN(AutomaticRecognitionTest)
#include "tst_automaticrecognition.moc"
