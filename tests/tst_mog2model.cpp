// The program's MOG2 model against OpenCV's: the same mask, every pixel of every frame,
// in every width of vector lanes the machine has.

#include "media.h"
#include "mog2model.h"
#include "scenes.h"

#include <QTest>

#include <opencv2/imgproc.hpp>

class Mog2ModelTest : public QObject
{
    Q_OBJECT

private slots:
    void masksAreOpenCvsBitForBit_data();
    void masksAreOpenCvsBitForBit();
};

namespace {

// People crossing a textured ground; from `lightFrom` on, the light is suddenly 60 %
// brighter. `grey` frames have one channel.
std::vector<cv::Mat> walkers(cv::Size size, int count, int lightFrom, bool grey)
{
    const cv::Size person(std::max(8, size.width / 20), std::max(16, size.height / 6));
    std::vector<cv::Mat> frames =
        scenes::makeScene(size, count,
                          {{person, {0, size.height / 3.}, {size.width / 40., 0}, 1},
                           {person, {size.width - 1., size.height / 2.}, {-size.width / 30., 0.5}, 3}},
                          7)
            .frames;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (lightFrom > 0 && int(i) >= lightFrom)
            frames[i].convertTo(frames[i], -1, 1.6, 10);
        if (grey)
            cv::cvtColor(frames[i], frames[i], cv::COLOR_BGR2GRAY);
    }
    return frames;
}

std::vector<cv::Mat> noise(cv::Size size, int count)
{
    cv::RNG random(11);
    std::vector<cv::Mat> frames(count, cv::Mat(size, CV_8UC3));
    for (cv::Mat &frame : frames) {
        frame = cv::Mat(size, CV_8UC3);
        random.fill(frame, cv::RNG::UNIFORM, 0, 256);
    }
    return frames;
}

} // namespace

void Mog2ModelTest::masksAreOpenCvsBitForBit_data()
{
    QTest::addColumn<QString>("footage");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("modes");
    QTest::addColumn<bool>("shadows");
    QTest::addColumn<bool>("ours");

    const QSize clipSize;
    QTest::newRow("bike.avi") << "bike.avi" << clipSize << 0 << 5 << false << true;
    QTest::newRow("video3.mp4") << "video3.mp4" << clipSize << 0 << 5 << false << true;
    QTest::newRow("noise, 323x241") << "noise" << QSize(323, 241) << 40 << 5 << false << true;
    QTest::newRow("walkers, 320x240") << "walkers" << QSize(320, 240) << 60 << 5 << false << true;
    QTest::newRow("walkers, 1280x720") << "walkers" << QSize(1280, 720) << 40 << 5 << false << true;
    QTest::newRow("light, 1920x1080") << "light" << QSize(1920, 1080) << 30 << 5 << false << true;
    QTest::newRow("light, 1283x717") << "light" << QSize(1283, 717) << 30 << 5 << false << true;
    QTest::newRow("three modes, 333x201") << "walkers" << QSize(333, 201) << 60 << 3 << false << true;
    // What the program's model leaves to OpenCV's.
    QTest::newRow("shadows") << "walkers" << QSize(320, 240) << 20 << 5 << true << false;
    QTest::newRow("grey frames") << "grey" << QSize(320, 240) << 20 << 5 << false << false;
}

void Mog2ModelTest::masksAreOpenCvsBitForBit()
{
    QFETCH(QString, footage);
    QFETCH(QSize, size);
    QFETCH(int, frames);
    QFETCH(int, modes);
    QFETCH(bool, shadows);
    QFETCH(bool, ours);

    const cv::Size frameSize(size.width(), size.height());
    std::vector<cv::Mat> video;
    if (footage == "noise")
        video = noise(frameSize, frames);
    else if (footage.endsWith(".avi") || footage.endsWith(".mp4"))
        video = media::readAllFrames(media::resources() + "/" + footage);
    else
        video = walkers(frameSize, frames, footage == "light" ? frames / 2 : 0, footage == "grey");
    QVERIFY(video.size() >= 20);

    for (const Mog2Model::Lanes lanes : {Mog2Model::Lanes::Widest, Mog2Model::Lanes::Avx2, Mog2Model::Lanes::Baseline}) {
        cv::Ptr<cv::BackgroundSubtractorMOG2> opencv = cv::createBackgroundSubtractorMOG2(500, 16, shadows);
        Mog2Model model(500, 16, shadows, lanes);
        opencv->setNMixtures(modes);
        model.setNMixtures(modes);
        const QByteArray where = QByteArray::number(model.laneCount()) + " lanes, frame ";
        cv::Mat expected, mask;
        double foreground = 0, pixels = 0;
        for (size_t i = 0; i < video.size(); ++i) {
            // The program's rate, but OpenCV's own in the first frames of one run in two.
            const double rate = lanes == Mog2Model::Lanes::Baseline && i < 10 ? -1 : 0.03;
            opencv->apply(video[i], expected, rate);
            model.apply(video[i], mask, rate);
            QCOMPARE(model.lastFrameWasOurs(), ours);
            QVERIFY2(mask.size() == expected.size() && mask.type() == expected.type(), where + QByteArray::number(i));
            QVERIFY2(cv::countNonZero(mask != expected) == 0, where + QByteArray::number(i));
            foreground += cv::countNonZero(expected);
            pixels += double(expected.total());
        }
        // Some foreground and some background: masks all of one kind would prove little.
        QVERIFY2(foreground > 0 && foreground < pixels, qPrintable(QString("%1 of %2").arg(foreground).arg(pixels)));
        cv::Mat expectedBackground, background;
        opencv->getBackgroundImage(expectedBackground);
        model.getBackgroundImage(background);
        QVERIFY2(cv::norm(expectedBackground, background, cv::NORM_INF) == 0, where + "background");
    }
}

QTEST_GUILESS_MAIN(Mog2ModelTest)
#include "tst_mog2model.moc"
