// The methods a user chooses and the results a run keeps: every detector and tracker
// runs, draws and saves rows of the MOT Challenge layout; a tracker's rows are those of
// the plain OpenCV loop; what is chosen in the window is remembered and what the command
// line chose is not; a result file that cannot be written is named while the run goes on.

#include "desktop.h"
#include "kestrovix.h"
#include "media.h"
#include "methods.h"
#include "program.h"
#include "regionselection.h"
#include "runresults.h"
#include "sizebanddialog.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <opencv2/tracking.hpp>

namespace {

QString labelText(const Kestrovix &w, const char *name)
{
    return w.statusBar()->findChild<QLabel *>(name)->text();
}

} // namespace

class MethodsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyMethodRunsDrawsAndSavesRowsOfTheRightShape_data();
    void everyMethodRunsDrawsAndSavesRowsOfTheRightShape();
    void trackerRowsAreThoseOfAPlainKcfLoop();
    void windowChoicesAreRememberedAndCommandLineOnesAreNot();
    void unwritableFileIsNamedAndTheRunGoesOn_data();
    void unwritableFileIsNamedAndTheRunGoesOn();

private:
    // Runs the automatic or the manual recognition on `clip` with `methods`, keeping
    // the boxes in boxes.csv; with `stopAtFirstRow`, a key ends it once a row is saved.
    void run(Kestrovix &w, bool manual, const QString &clip, const MethodChoice &methods, bool stopAtFirstRow,
             const ResultFiles &files = {});

    QTemporaryDir scratch;
    QString bike;    // all of bike.avi
    QString street;  // the first 40 frames of video3.mp4
};

void MethodsTest::initTestCase()
{
    QSettings().remove("methods");
    bike = media::resources() + "/bike.avi";
    std::vector<cv::Mat> frames = media::readAllFrames(media::resources() + "/video3.mp4");
    frames.resize(40);
    street = scratch.filePath("street.mp4");
    QVERIFY(media::writeVideo(street, frames));
}

void MethodsTest::run(Kestrovix &w, bool manual, const QString &clip, const MethodChoice &methods,
                      bool stopAtFirstRow, const ResultFiles &files)
{
    QFile::remove(scratch.filePath("boxes.csv"));
    w.useSource(VideoSource::fromArgument(clip));
    w.useMethods(methods);
    w.keepResultsIn(files.boxes.isEmpty() && files.video.isEmpty() && files.groundTruth.isEmpty()
                        ? ResultFiles{scratch.filePath("boxes.csv"), {}}
                        : files);
    QTimer poll;
    if (stopAtFirstRow) {
        connect(&poll, &QTimer::timeout, &w, [&] {
            if (!media::fileLines(scratch.filePath("boxes.csv")).isEmpty())
                QTest::keyClick(&w, Qt::Key_Q);
        });
        poll.start(5);
    }
    if (manual) {
        g_roi = media::readVideo3Truth().at(0);
        desktop::typeKeyIntoWindowLater(300, "^output$", "space");
        w.videoplay();
    } else {
        w.onOpencvpic();
    }
}

void MethodsTest::everyMethodRunsDrawsAndSavesRowsOfTheRightShape_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("manual");
    for (const QString &detector : detectorNames())
        QTest::newRow(qPrintable(detector)) << detector << false;
    QTest::newRow("mog2, mask view") << "mog2" << false;
    for (const QString &tracker : trackerNames())
        QTest::newRow(qPrintable(tracker)) << tracker << true;
}

void MethodsTest::everyMethodRunsDrawsAndSavesRowsOfTheRightShape()
{
    QFETCH(QString, method);
    QFETCH(bool, manual);
    MethodChoice methods;
    (manual ? methods.tracker : methods.detector) = method;
    methods.band = SizeBand{200, 5000};  // where every detector finds something in bike.avi
    methods.maskView = QString(QTest::currentDataTag()).contains("mask");
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    run(w, manual, manual ? street : bike, methods, true);

    const QStringList rows = media::fileLines(scratch.filePath("boxes.csv"));
    QVERIFY2(!rows.isEmpty(), "rows saved");
    for (const QString &row : rows) {
        const QStringList field = row.split(',');
        QCOMPARE(field.size(), 10);
        const cv::Rect box(field[2].toInt(), field[3].toInt(), field[4].toInt(), field[5].toInt());
        QVERIFY2(field[0].toInt() >= (manual ? 3 : 1) && field[0].toInt() <= 240, qPrintable(row));
        QCOMPARE(field[1], manual ? "1" : "-1");
        QVERIFY2(box.area() > 0 && (cv::Rect(0, 0, 320, 240) & box) == box, qPrintable(row));
        QCOMPARE(field.mid(6), QStringList({"1", "-1", "-1", "-1"}));
    }
    // The last row's frame is on show, with its boxes.
    const QImage shown = program::shownPicture(w);
    QVERIFY(media::countPixels(shown, manual ? Qt::blue : Qt::green) > 0);
    if (methods.maskView)  // black and white but for the boxes
        QCOMPARE(media::countPixels(shown, Qt::black) + media::countPixels(shown, Qt::white)
                     + media::countPixels(shown, Qt::green),
                 shown.width() * shown.height());
    QVERIFY(labelText(w, "methodStatus").contains(displayName(method)));
}

void MethodsTest::trackerRowsAreThoseOfAPlainKcfLoop()
{
    const std::vector<cv::Mat> frames = media::readAllFrames(street);
    const QStringList expected
        = media::plainTrackerRows(frames, *cv::TrackerKCF::create(), media::readVideo3Truth().at(0));

    MethodChoice methods;
    methods.tracker = "kcf";
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    run(w, true, street, methods, false);
    QVERIFY(expected.size() > 30);
    QCOMPARE(media::fileLines(scratch.filePath("boxes.csv")), expected);
}

void MethodsTest::windowChoicesAreRememberedAndCommandLineOnesAreNot()
{
    {
        Kestrovix w;
        QCOMPARE(labelText(w, "methodStatus"), QString::fromUtf8("MOG2, area 500–1000 · CSRT"));
        MethodChoice fromCommandLine;
        fromCommandLine.detector = "knn";
        w.useMethods(fromCommandLine);
        for (QAction *action : w.findChildren<QAction *>())
            if (action->data() == "medianflow")
                action->trigger();
        QCOMPARE(labelText(w, "methodStatus"), QString::fromUtf8("KNN, area 500–1000 · MedianFlow"));
        // Identities, and how they are followed, from the Recognition menu.
        QTimer::singleShot(300, [] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            dialog->findChild<QSpinBox *>("framesToConfirm")->setValue(5);
            dialog->accept();
        });
        for (QAction *action : w.findChildren<QAction *>())
            if (action->text() == "Follow &Identities" || action->text() == "Trac&ks…")
                action->trigger();
        QVERIFY(labelText(w, "methodStatus").contains("identities"));

        // The size band dialog refuses a band that admits nothing, and says why.
        SizeBandDialog dialog(SizeBand{}, &w);
        dialog.show();
        dialog.findChild<QSpinBox *>("lowerArea")->setValue(1000);
        QString refusal;
        QTimer::singleShot(300, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                refusal = box->text();
                box->accept();
            }
        });
        dialog.accept();
        QVERIFY2(refusal.contains("1000"), qPrintable(refusal));
        QVERIFY(dialog.isVisible());
    }
    const MethodChoice stored = MethodChoice::stored();
    QCOMPARE(stored.detector, "mog2");
    QCOMPARE(stored.tracker, "medianflow");
    QVERIFY(stored.identities);
    QCOMPARE(stored.tracks.framesToConfirm, 5);
    QSettings().remove("methods");
    QSettings().remove("tracks");
}

void MethodsTest::unwritableFileIsNamedAndTheRunGoesOn_data()
{
    QTest::addColumn<QString>("boxes");
    QTest::addColumn<QString>("video");
    QTest::addColumn<QString>("truth");
    QTest::addColumn<QString>("why");
    const QString missing = scratch.filePath("no such folder") + "/out";
    QTest::newRow("boxes, missing folder") << missing + ".csv" << "" << "" << "No such file or directory";
    QTest::newRow("boxes, full disk") << "/dev/full" << "" << "" << "No space left on device";
    QTest::newRow("video, missing folder") << "" << missing + ".avi" << "" << "No such file or directory";
    QTest::newRow("video, unknown format") << "" << scratch.filePath("out.mkv") << "" << "must end in .avi";
    QFile truth(scratch.filePath("bad gt.txt"));
    QVERIFY(truth.open(QIODevice::WriteOnly));
    truth.write("1,1,10,10,20,40,1,1,1\n2,1,ten,10,20,40,1,1,1\n");
    QTest::newRow("ground truth, a bad line") << "" << "" << truth.fileName() << "line 2 is not a row";
}

void MethodsTest::unwritableFileIsNamedAndTheRunGoesOn()
{
    QFETCH(QString, boxes);
    QFETCH(QString, video);
    QFETCH(QString, truth);
    QFETCH(QString, why);
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QString said = QString::fromUtf8(
        program::standardErrorOf([&] { run(w, false, bike, MethodChoice(), false, ResultFiles{boxes, video, truth}); }));
    const QString path = !boxes.isEmpty() ? boxes : !video.isEmpty() ? video : truth;
    QVERIFY2(said.contains(path) && said.contains(why), qPrintable(said));
    QVERIFY(labelText(w, "resultStatus").contains(path));
    QVERIFY2(labelText(w, "sourceStatus").endsWith("frame 240"), qPrintable(labelText(w, "sourceStatus")));
}

KESTROVIX_TEST_MAIN(MethodsTest)
#include "tst_methods.moc"
