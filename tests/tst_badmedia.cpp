// Both pipelines on broken and unusual media: each ends without a crash or a hang,
// the window stays usable, and the picture area shows the last good frame or nothing.

#include "backgroundaudio.h"
#include "desktop.h"
#include "kestrovix.h"
#include "media.h"
#include "program.h"
#include "regionselection.h"
#include "resourcedirectory.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <opencv2/imgproc.hpp>

namespace {

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

std::vector<cv::Mat> sourceFrames(const QString &name, int count, cv::Size size = cv::Size())
{
    std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/" + name);
    frames.resize(count);
    if (!size.empty())
        for (cv::Mat &frame : frames)
            cv::resize(frame, frame, size);
    return frames;
}

// Puts media of one kind under `name` in `directory`.
bool makeMedia(const QString &kind, const QString &directory, const QString &name)
{
    const QString path = directory + "/" + name;
    if (kind == "missing")
        return true;
    if (kind == "empty")
        return writeBytes(path, QByteArray());
    if (kind == "cut off") {
        const QByteArray whole = media::fileBytes(media::resources() + "/" + name);
        return writeBytes(path, whole.left(whole.size() / 2));
    }
    if (kind == "random bytes")
        return writeBytes(path, randomBytes(65536, 7));
    if (kind == "one frame")
        return media::writeVideo(path, sourceFrames(name, 1));
    if (kind == "two frames")
        return media::writeVideo(path, sourceFrames(name, 2));
    if (kind == "grey frames")
        return media::writeVideo(path, std::vector<cv::Mat>(30, cv::Mat(240, 320, CV_8UC3, cv::Scalar::all(128))));
    if (kind == "333 x 201")
        return media::writeVideo(path, sourceFrames(name, 30, cv::Size(333, 201)));
    if (kind == "3840 x 2160")
        return media::writeVideo(path, sourceFrames(name, 5, cv::Size(3840, 2160)));
    return false;
}

// Share of the picture's pixels equal to those of `frame` as the picture area shows it.
double sameAs(const QImage &picture, const cv::Mat &frame)
{
    const QImage expected = media::scaledForDisplay(frame, picture.size(), Qt::FastTransformation);
    if (expected.size() != picture.size())
        return 0;
    qint64 same = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            same += picture.pixel(x, y) == expected.pixel(x, y);
    return double(same) / (picture.width() * picture.height());
}

// The window still answers: it follows a resize and the buttons can be pressed.
void expectUsableWindow(Kestrovix &w)
{
    QVERIFY(w.isVisible());
    QVERIFY(w.findChild<QPushButton *>("pushButton")->isEnabled());
    QVERIFY(w.findChild<QPushButton *>("pushButton_2")->isEnabled());
    const QSize before = w.size();
    w.resize(before + QSize(40, 30));
    QTRY_COMPARE(w.size(), before + QSize(40, 30));
    auto *label = w.findChild<QLabel *>("label");
    if (!label->pixmap().isNull())
        QVERIFY(label->pixmap().width() == label->width() || label->pixmap().height() == label->height());
}

} // namespace

class BadMediaTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void automaticRun_data();
    void automaticRun();
    void manualRun_data();
    void manualRun();

private:
    void addCases();
    QTemporaryDir soundDirectory;
};

void BadMediaTest::initTestCase()
{
    // The sound loop of this process gets a corrupt MP3: it must cycle silently.
    QVERIFY(writeBytes(soundDirectory.filePath("background.MP3"), randomBytes(20000, 3)));
    setResourceDirectory(soundDirectory.path().toStdString());
    startBackgroundAudioOnce();
    QCOMPARE(g_audioStarted, 1);
}

void BadMediaTest::addCases()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("opens");  // whether video3.mp4 can be opened
    QTest::newRow("missing") << "missing" << false;
    QTest::newRow("empty") << "empty" << false;
    // An MP4 keeps its index at the end, so half of one cannot be opened.
    QTest::newRow("cut off") << "cut off" << false;
    QTest::newRow("random bytes") << "random bytes" << false;
    QTest::newRow("one frame") << "one frame" << true;
    QTest::newRow("two frames") << "two frames" << true;
    QTest::newRow("grey frames") << "grey frames" << true;
    QTest::newRow("333 x 201") << "333 x 201" << true;
    QTest::newRow("3840 x 2160") << "3840 x 2160" << true;
}

void BadMediaTest::automaticRun_data()
{
    addCases();
}

void BadMediaTest::automaticRun()
{
    QFETCH(QString, kind);
    QTemporaryDir directory;
    QVERIFY(makeMedia(kind, directory.path(), "bike.avi"));
    setResourceDirectory(directory.path().toStdString());
    const std::vector<cv::Mat> frames = media::readAllFrames(directory.filePath("bike.avi"));

    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.onOpencvpic();

    if (frames.empty())
        QVERIFY(w.findChild<QLabel *>("label")->pixmap().isNull());
    else
        QVERIFY(sameAs(program::shownPicture(w), frames.back()) > 0.9);
    QVERIFY(!w.findChild<QProgressBar *>("progressBar_2")->isVisible());
    expectUsableWindow(w);
}

void BadMediaTest::manualRun_data()
{
    addCases();
}

void BadMediaTest::manualRun()
{
    QFETCH(QString, kind);
    QFETCH(bool, opens);
    QTemporaryDir directory;
    QVERIFY(makeMedia(kind, directory.path(), "video3.mp4"));
    setResourceDirectory(directory.path().toStdString());
    const std::vector<cv::Mat> frames = media::readAllFrames(directory.filePath("video3.mp4"));

    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    g_roi = cv::Rect(140, 100, 40, 40);
    if (!frames.empty())
        desktop::typeKeyIntoWindowLater(300, "^output$", "space");
    const QByteArray printed = program::standardOutputOf([&] { w.videoplay(); });

    QCOMPARE(printed, opens ? QByteArray() : QByteArray("can not open ...\n"));
    QVERIFY(desktop::findWindows("^output$").isEmpty());
    const int tracked = std::max(0, int(frames.size()) - 2);
    QCOMPARE(w.findChild<QProgressBar *>("progressBar_2")->value(), tracked);
    if (tracked == 0)
        QVERIFY(w.findChild<QLabel *>("label")->pixmap().isNull());
    else
        QVERIFY(sameAs(program::shownPicture(w), frames.back()) > 0.9);  // all but the blue box
    expectUsableWindow(w);
}

KESTROVIX_TEST_MAIN(BadMediaTest)
#include "tst_badmedia.moc"
