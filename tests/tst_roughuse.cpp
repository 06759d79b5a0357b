// Rough use of the real window: bursts of clicks during runs, and resizing during
// and after a run.

#include "desktop.h"
#include "kestrovix.h"
#include "media.h"
#include "program.h"
#include "resourcedirectory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString clickCommand(const QPoint &point)
{
    return QString("xdotool mousemove %1 %2 sleep 0.03 click 1 sleep 0.03").arg(point.x()).arg(point.y());
}

// The picture fills the label on its limiting side, keeps the frame's aspect and is centred.
void expectFittedPicture(QLabel *label, const QSize &frameSize)
{
    QCOMPARE(label->pixmap().size(), frameSize.scaled(label->size(), Qt::KeepAspectRatio));
    QCOMPARE(label->alignment(), Qt::AlignCenter);
}

} // namespace

class RoughUseTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void burstOfClicksDuringRunsNestsAndEveryRunEnds();
    void resizingDuringAndAfterARunKeepsThePictureFitted();

private:
    QTemporaryDir shortMedia;
};

void RoughUseTest::initTestCase()
{
    // Short videos, so that a run nested in each click ends soon.
    std::vector<cv::Mat> bike = media::readAllFrames(media::resources() + "/bike.avi");
    bike.resize(40);
    std::vector<cv::Mat> video3 = media::readAllFrames(media::resources() + "/video3.mp4");
    video3.resize(40);
    QVERIFY(media::writeVideo(shortMedia.filePath("bike.avi"), bike));
    QVERIFY(media::writeVideo(shortMedia.filePath("video3.mp4"), video3));
    setResourceDirectory(shortMedia.path().toStdString());
}

void RoughUseTest::burstOfClicksDuringRunsNestsAndEveryRunEnds()
{
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QPoint manual = w.mapToGlobal(program::buttonPoint("pushButton"));
    const QPoint automatic = w.mapToGlobal(program::buttonPoint("pushButton_2"));

    // Ten quick clicks on both buttons while a run goes on, and someone who closes
    // every "output" that the manual runs open.
    QStringList burst;
    for (int i = 0; i < 10; ++i)
        burst << clickCommand(i % 3 == 0 ? manual : automatic);
    desktop::runLater(200, burst.join("; "));
    desktop::runLater(600, QString("for i in $(seq 30); do xdotool search --onlyvisible --name '^output$' | "
                                   "xargs -r -n1 %1 --close-window; sleep 0.2; done")
                               .arg(QCoreApplication::applicationFilePath()));

    QElapsedTimer clock;
    clock.start();
    w.onOpencvpic();  // returns once every run nested in it has ended
    QVERIFY2(clock.elapsed() < 60000, qPrintable(QString("%1 ms").arg(clock.elapsed())));
    QTest::qWait(7000);  // the closer's last turns, which find nothing left to close

    QVERIFY(w.isVisible());
    QVERIFY(desktop::findWindows("^output$").isEmpty());
    // Every manual run tracked all 38 frames after the first two of the short video.
    QCOMPARE(w.findChild<QProgressBar *>("progressBar_2")->value(), 4 * 38);
    auto *label = w.findChild<QLabel *>("label");
    QVERIFY(!label->pixmap().isNull());
    expectFittedPicture(label, QSize(320, 240));
}

void RoughUseTest::resizingDuringAndAfterARunKeepsThePictureFitted()
{
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *label = w.findChild<QLabel *>("label");

    desktop::runLater(150, QString("xdotool windowsize %1 900 380").arg(w.winId()));
    w.onOpencvpic();
    QCOMPARE(w.size(), QSize(900, 380));
    expectFittedPicture(label, QSize(320, 240));

    QVERIFY(desktop::xdotool({"windowsize", QString::number(w.winId()), "500", "600"}));
    QTRY_COMPARE(w.size(), QSize(500, 600));
    expectFittedPicture(label, QSize(320, 240));
}

KESTROVIX_TEST_MAIN(RoughUseTest)
#include "tst_roughuse.moc"
