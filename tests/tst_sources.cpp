// Choosing, opening and describing a source: what a path or a URL is taken for, a
// dropped video and the recent sources, the manual run's bar on a chosen video, and
// every kind of bad source, each with a message that names it and nothing else lost.

#include "desktop.h"
#include "kestrovix.h"
#include "media.h"
#include "program.h"
#include "regionselection.h"
#include "sourcechooser.h"
#include "videosource.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

// An HTTP server in this process that answers every request with `body`, then hangs
// up; or, with `silent`, accepts and never says a word.
class TestServer : public QTcpServer
{
public:
    TestServer(const QByteArray &body, bool silent)
        : body(body)
        , silent(silent)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                if (this->silent)
                    continue;  // kept open, unanswered, until the server goes
                socket->write("HTTP/1.0 200 OK\r\nContent-Type: video/mp2t\r\n\r\n");
                socket->write(this->body);
                socket->disconnectFromHost();
            }
        });
        listen(QHostAddress::LocalHost);
    }

private:
    QByteArray body;
    bool silent;
};

QString statusOf(const Kestrovix &w)
{
    return w.statusBar()->findChild<QLabel *>("sourceStatus")->text();
}

} // namespace

class SourcesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void argumentIsAFileOrAStream_data();
    void argumentIsAFileOrAStream();
    void droppedVideoIsChosenAndRemembered();
    void manualRunOnAChosenVideoCountsItsOwnFramesAndEndsFull();
    void badSourceSaysWhatAndWhich_data();
    void badSourceSaysWhatAndWhich();

private:
    QTemporaryDir scratch;
};

void SourcesTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings().clear();
}

void SourcesTest::argumentIsAFileOrAStream_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("location");
    QTest::newRow("absolute path") << "/videos/街道 1.avi" << int(VideoSource::File) << "/videos/街道 1.avi";
    QTest::newRow("relative path") << "a/../b.mp4" << int(VideoSource::File) << QDir::currentPath() + "/b.mp4";
    QTest::newRow("file URL") << "file:///videos/a%20b.avi" << int(VideoSource::File) << "/videos/a b.avi";
    QTest::newRow("rtsp") << "rtsp://10.0.0.2:554/live" << int(VideoSource::Stream) << "rtsp://10.0.0.2:554/live";
    QTest::newRow("http") << "http://host/x.ts" << int(VideoSource::Stream) << "http://host/x.ts";
    QTest::newRow("udp") << "udp://@:1234" << int(VideoSource::Stream) << "udp://@:1234";
}

void SourcesTest::argumentIsAFileOrAStream()
{
    QFETCH(QString, argument);
    QFETCH(int, kind);
    QFETCH(QString, location);
    const VideoSource source = VideoSource::fromArgument(argument);
    QCOMPARE(int(source.kind), kind);
    QCOMPARE(source.location, location);
    // What the recent sources keep gives the same source back.
    QVERIFY(VideoSource::fromSetting(source.toSetting()) == source);
    QVERIFY(VideoSource::fromSetting(VideoSource::camera(2).toSetting()) == VideoSource::camera(2));
}

void SourcesTest::droppedVideoIsChosenAndRemembered()
{
    const QString path = scratch.filePath("dropped clip.avi");
    QVERIFY(QFile::copy(media::resources() + "/bike.avi", path));
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);

    QCOMPARE(w.currentSource().location, path);
    QCOMPARE(statusOf(w), QString("dropped clip.avi — 320×240, 25 fps, 240 frames"));
    // Another window, as after a new start, offers it among the recent sources.
    Kestrovix later;
    QCOMPARE(later.findChild<SourceChooser *>()->recentSources().value(0), path);
}

void SourcesTest::manualRunOnAChosenVideoCountsItsOwnFramesAndEndsFull()
{
    std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/video3.mp4");
    frames.resize(40);
    const QString path = scratch.filePath("forty.mp4");
    QVERIFY(media::writeVideo(path, frames));
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.useSource(VideoSource::fromArgument(path));
    auto *bar = w.findChild<QProgressBar *>("progressBar_2");

    for (int run = 0; run < 2; ++run) {
        g_roi = media::readVideo3Truth().at(0);
        desktop::typeKeyIntoWindowLater(300, "^output$", "space");
        w.videoplay();
        QCOMPARE(bar->maximum(), 38);
        QCOMPARE(bar->value(), 38);
        QVERIFY(media::countPixels(program::shownPicture(w), Qt::blue) > 0);
    }
}

void SourcesTest::badSourceSaysWhatAndWhich_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("why");
    QTest::newRow("missing") << "missing" << "there is no such file";
    QTest::newRow("folder") << "folder" << "it is a folder";
    QTest::newRow("empty") << "empty" << "the file is empty";
    QTest::newRow("not a video") << "text" << "not a video that can be played";
    QTest::newRow("cut off") << "cut off" << "or it is cut off";
    QTest::newRow("unreadable") << "unreadable" << "permission denied";
    QTest::newRow("refused") << "refused" << "it was refused";
    QTest::newRow("silent server") << "silent" << "no answer within 10 s";
    QTest::newRow("no such camera") << "camera" << "there is no such camera";
    QTest::newRow("stream dies mid-run") << "dies" << "stopped sending frames";
}

void SourcesTest::badSourceSaysWhatAndWhich()
{
    QFETCH(QString, kind);
    QFETCH(QString, why);
    const QString path = scratch.filePath(kind + " 视频 %1.mp4");  // a name as awkward as they come
    QFile file(path);
    std::unique_ptr<TestServer> server;
    VideoSource source = VideoSource::fromArgument(path);
    if (kind == "folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == "empty" || kind == "text" || kind == "unreadable") {
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kind == "empty" ? QByteArray() : QByteArray("not a video\n").repeated(500));
        file.close();
        if (kind == "unreadable") {
            if (geteuid() == 0)
                QSKIP("root reads every file");
            file.setPermissions(QFileDevice::WriteOwner);
        }
    } else if (kind == "cut off") {
        const QByteArray whole = media::fileBytes(media::resources() + "/video3.mp4");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(whole.left(whole.size() / 2));
        file.close();
    } else if (kind == "camera") {
        source = VideoSource::camera(99);
    } else if (kind == "refused" || kind == "silent" || kind == "dies") {
        QByteArray stream;
        if (kind == "dies") {
            // Two seconds of the street as a stream, then the server hangs up.
            QProcess ffmpeg;
            ffmpeg.start("ffmpeg", {"-loglevel", "error", "-i", media::resources() + "/bike.avi", "-frames:v", "50",
                                    "-c:v", "mpeg4", "-q:v", "2", "-f", "mpegts", "-"});
            QVERIFY(ffmpeg.waitForFinished(30000));
            stream = ffmpeg.readAllStandardOutput();
            QVERIFY(stream.size() > 10000);
        }
        server = std::make_unique<TestServer>(stream, kind == "silent");
        QVERIFY(server->isListening());
        source = VideoSource::fromArgument(QString("http://127.0.0.1:%1/street.ts").arg(server->serverPort()));
        if (kind == "refused")
            server->close();
    }

    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const cv::Mat before = media::readAllFrames(media::resources() + "/bike.avi").at(7);
    w.presentFrame(before);
    w.useSource(source);

    // The window is served all the while: a timer of this process keeps ticking.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(100);
    QElapsedTimer clock;
    clock.start();
    const QByteArray errors = program::standardErrorOf([&] { w.onOpencvpic(); });
    const qint64 took = clock.elapsed();

    const QString message = statusOf(w);
    QVERIFY2(message.contains(source.fullName()) && message.contains(why), qPrintable(message));
    QVERIFY2(QString::fromUtf8(errors).contains("kestrovix: " + message), errors.constData());
    QVERIFY2(took < 10500, qPrintable(QString("%1 ms").arg(took)));
    if (took > 1000)
        QVERIFY2(ticks >= took / 100 / 2, qPrintable(QString("%1 ticks in %2 ms").arg(ticks).arg(took)));
    if (kind == "dies")
        QVERIFY(media::countPixels(program::shownPicture(w), Qt::green) > 0);  // it played, then stopped
    else
        QCOMPARE(program::shownPicture(w), media::scaledForDisplay(before, program::shownPicture(w).size(),
                                                                 Qt::FastTransformation).convertToFormat(QImage::Format_RGB888));
    QVERIFY(w.isVisible());
}

KESTROVIX_TEST_MAIN(SourcesTest)
#include "tst_sources.moc"
