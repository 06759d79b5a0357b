// The recognitions without a window or a display: the rows a run saves are those of
// the plain OpenCV calls, which the window's runs of the same clips save too; and a
// source that keeps the run waiting does not keep a core busy.

#include "automaticrecognition.h"
#include "manualrecognition.h"
#include "media.h"
#include "processinfo.h"
#include "videoinput.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <opencv2/tracking.hpp>

#include <algorithm>

namespace {

// Takes every frame, and the region it is given.
class Collector : public RecognitionSink
{
public:
    explicit Collector(const cv::Rect &region)
        : region(region)
    {
    }
    SinkAnswer frameDone(RecognisedFrame &frame) override
    {
        numbers.push_back(frame.number);
        if (frame.number == againAt && std::count(numbers.begin(), numbers.end(), againAt) == 1)
            return {SinkAnswer::Again};
        if (frame.number == seekAt && std::count(numbers.begin(), numbers.end(), seekAt) == 1)
            return {SinkAnswer::Seek, seekTo};
        return {};
    }
    bool keepWaiting() override { return true; }
    void problem(const QString &message) override { problems << message; }
    bool selectRegions(const cv::Mat &, std::vector<cv::Rect> &selected, bool) override
    {
        selected = {region};
        return true;
    }

    cv::Rect region;
    int againAt = 0;  // the frame drawn anew once
    int seekAt = 0;   // the frame after which the run goes back once, to seekTo
    int seekTo = 0;
    std::vector<int> numbers;
    QStringList problems;
};

} // namespace

class RecognitionRunTest : public QObject
{
    Q_OBJECT

private slots:
    void runsWithoutADisplay();
    void savesTheRowsOfThePlainCalls_data();
    void savesTheRowsOfThePlainCalls();
    void aSeekAndARedrawKeepTheRowsOfThePlainCalls_data();
    void aSeekAndARedrawKeepTheRowsOfThePlainCalls();
    void waitingForASilentServerLeavesTheCoreIdle();
};

void RecognitionRunTest::runsWithoutADisplay()
{
    QVERIFY(qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
    QVERIFY(!qobject_cast<QGuiApplication *>(QCoreApplication::instance()));
}

void RecognitionRunTest::savesTheRowsOfThePlainCalls_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("detector");  // empty: the manual recognition
    QTest::addColumn<int>("lower");
    QTest::addColumn<int>("upper");
    QTest::newRow("automatic, defaults") << "bike.avi" << "mog2" << 500 << 1000;
    QTest::newRow("automatic, KNN, a wider band") << "bike.avi" << "knn" << 200 << 5000;
    QTest::newRow("manual, CSRT") << "video3.mp4" << QString() << 500 << 1000;
}

void RecognitionRunTest::savesTheRowsOfThePlainCalls()
{
    QFETCH(QString, clip);
    QFETCH(QString, detector);
    QFETCH(int, lower);
    QFETCH(int, upper);
    const bool manual = detector.isEmpty();
    const QString path = media::resources() + "/" + clip;
    std::vector<cv::Mat> frames = media::readAllFrames(path);
    const cv::Rect region = media::readVideo3Truth().at(0);
    MethodChoice methods;
    methods.band = {lower, upper};
    QStringList expected;
    cv::theRNG() = cv::RNG();
    if (manual) {
        expected = media::plainTrackerRows(frames, *cv::TrackerCSRT::create(cv::TrackerCSRT::Params()), region);
    } else {
        methods.detector = detector;
        expected = media::plainDetectorRows(frames, *createDetector(detector), lower, upper);
    }
    // KNN draws from OpenCV's random numbers: both runs start where a new process does.
    cv::theRNG() = cv::RNG();

    QTemporaryDir scratch;
    const ResultFiles files{scratch.filePath("boxes.csv"), QString(), QString()};
    VideoInput capture;
    QVERIFY(capture.open(VideoSource::fromArgument(path), std::string(), [] { return true; }));
    Collector sink(region);
    cv::Mat firstFrame;
    std::vector<cv::Rect> tracked;
    const bool ended = manual ? runManualRecognition(capture, methods, files, firstFrame, tracked, sink)
                              : runAutomaticRecognition(capture, methods, SceneAnalysis(), files, sink);

    QVERIFY(ended);
    QVERIFY(sink.problems.isEmpty());
    QCOMPARE(int(sink.numbers.size()), int(frames.size()) - (manual ? 2 : 0));
    QCOMPARE(sink.numbers.back(), int(frames.size()));
    QVERIFY(expected.size() > 30);
    QCOMPARE(media::fileLines(files.boxes), expected);
}

void RecognitionRunTest::aSeekAndARedrawKeepTheRowsOfThePlainCalls_data()
{
    QTest::addColumn<bool>("readAhead");  // the next frame also learnt while this one is worked on
    QTest::addColumn<int>("seekAt");
    QTest::addColumn<QString>("detector");
    QTest::newRow("frame by frame") << false << 60 << "mog2";
    QTest::newRow("read and learnt ahead") << true << 60 << "mog2";
    QTest::newRow("read and learnt ahead, back from the last frame") << true << 0 << "mog2";
    QTest::newRow("read and learnt ahead, KNN's random numbers") << true << 60 << "knn";
}

void RecognitionRunTest::aSeekAndARedrawKeepTheRowsOfThePlainCalls()
{
    QFETCH(bool, readAhead);
    QFETCH(int, seekAt);
    QFETCH(QString, detector);
    const QString path = media::resources() + "/bike.avi";
    const std::vector<cv::Mat> frames = media::readAllFrames(path);
    const int last = int(frames.size());
    Collector sink{cv::Rect()};
    sink.againAt = 30;
    sink.seekAt = seekAt > 0 ? seekAt : last;
    sink.seekTo = 20;
    // Frames 1 to the seek, then from frame 20 to the end learnt by a new model.
    cv::theRNG() = cv::RNG();
    QStringList expected = media::plainDetectorRows(std::vector<cv::Mat>(frames.begin(), frames.begin() + sink.seekAt),
                                                    *createDetector(detector), 500, 1000);
    for (const QString &row : media::plainDetectorRows(std::vector<cv::Mat>(frames.begin() + 19, frames.end()),
                                                       *createDetector(detector), 500, 1000))
        expected << QString::number(row.section(',', 0, 0).toInt() + 19) + "," + row.section(',', 1);
    cv::theRNG() = cv::RNG();
    MethodChoice methods;
    methods.detector = detector;

    QTemporaryDir scratch;
    const ResultFiles files{scratch.filePath("boxes.csv"), QString(), QString()};
    VideoInput capture;
    QVERIFY(capture.open(VideoSource::fromArgument(path), std::string(), [] { return true; }));
    capture.setReadAhead(readAhead);
    QVERIFY(runAutomaticRecognition(capture, methods, SceneAnalysis(), files, sink));

    std::vector<int> numbers;
    for (int number = 1; number <= sink.seekAt; ++number)
        numbers.insert(numbers.end(), number == sink.againAt ? 2 : 1, number);
    for (int number = 20; number <= last; ++number)
        numbers.push_back(number);
    QCOMPARE(sink.numbers, numbers);
    QVERIFY(expected.size() > 60);
    QCOMPARE(media::fileLines(files.boxes), expected);
}

void RecognitionRunTest::waitingForASilentServerLeavesTheCoreIdle()
{
    // Accepts, and never says a word. The wait is served by a function that returns
    // at once, as a window with nothing to do serves it.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    VideoInput capture;
    int serves = 0;
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = processinfo::cpuSeconds();
    const bool opened = capture.open(VideoSource::fromArgument(QString("http://127.0.0.1:%1/x.ts").arg(silent.serverPort())),
                                     std::string(), [&serves] {
                                         ++serves;
                                         QCoreApplication::processEvents();
                                         return true;
                                     });
    const double cpu = processinfo::cpuSeconds() - cpuBefore;
    const double wall = clock.elapsed() / 1000.0;

    qInfo("%.2f s of CPU in %.2f s, served %d times", cpu, wall, serves);
    QVERIFY(!opened);
    QVERIFY2(capture.error().contains("no answer within 10 s"), qPrintable(capture.error()));
    QVERIFY2(wall > 9 && wall < 11, qPrintable(QString::number(wall)));
    QVERIFY2(cpu < 0.10 * wall, qPrintable(QString("%1 s of CPU in %2 s").arg(cpu).arg(wall)));
    // Served all the while, every few milliseconds.
    QVERIFY2(serves > wall * 20, qPrintable(QString::number(serves)));
}

QTEST_GUILESS_MAIN(RecognitionRunTest)
#include "tst_recognitionrun.moc"
