// The main window as the user first sees it: the form, the window, and how
// frames are shown in the picture area.

#include "desktop.h"
#include "framescaler.h"
#include "kestrovix.h"
#include "program.h"
#include "resourcedirectory.h"

#include <QBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <opencv2/imgproc.hpp>

namespace {

QLabel *pictureArea(QMainWindow &window)
{
    return window.findChild<QLabel *>("label");
}

// A frame with a one-pixel red border, a white inside and a blue mark at its centre.
cv::Mat markedFrame(int cols, int rows)
{
    cv::Mat frame(rows, cols, CV_8UC3, cv::Scalar(255, 255, 255));
    cv::rectangle(frame, cv::Rect(0, 0, cols, rows), cv::Scalar(0, 0, 255), 1);
    cv::circle(frame, cv::Point(cols / 2, rows / 2), std::min(cols, rows) / 8 + 1, cv::Scalar(255, 0, 0),
               cv::FILLED);
    return frame;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void formBuildsTheWidgetTree();
    void formSetsTextsAndLooks();
    void formKeepsAnExistingObjectName();
    void windowOpensWithPictureAreaAndNoProgressBar();
    void slotsAreTheTwoPipelines();
    void eachButtonRunsItsOwnPipeline();
    void presentedFrameKeepsAspectAndIsCentred_data();
    void presentedFrameKeepsAspectAndIsCentred();
    void resizeRescalesTheLastFrameSmoothlyAfterItsSourceIsGone_data();
    void resizeRescalesTheLastFrameSmoothlyAfterItsSourceIsGone();
    void resizeBeforeAnyFrameShowsNothing();
    void framesOfOneSizeInTurnEachShowThemselves();
    void fastScaleGivesQtsPixelsAtEverySize();
};

void MainWindowTest::formBuildsTheWidgetTree()
{
    QMainWindow window;
    Ui_KestrovixClass ui;
    ui.setupUi(&window);

    QCOMPARE(window.objectName(), QString("KestrovixClass"));
    QCOMPARE(window.centralWidget(), ui.centralWidget);
    QCOMPARE(window.menuBar(), ui.menuBar);
    QCOMPARE(window.statusBar(), ui.statusBar);
    QCOMPARE(window.toolBarArea(ui.mainToolBar), Qt::TopToolBarArea);

    const QList<QPair<QObject *, QString>> named = {
        {ui.centralWidget, "centralWidget"}, {ui.verticalLayout_2, "verticalLayout_2"},
        {ui.verticalLayout, "verticalLayout"}, {ui.label, "label"},
        {ui.horizontalLayout, "horizontalLayout"}, {ui.pushButton, "pushButton"},
        {ui.progressBar_2, "progressBar_2"}, {ui.pushButton_2, "pushButton_2"},
        {ui.menuBar, "menuBar"}, {ui.mainToolBar, "mainToolBar"}, {ui.statusBar, "statusBar"},
    };
    for (const auto &[object, name] : named)
        QCOMPARE(object->objectName(), name);

    // Layout nesting and the order of the row under the picture.
    QCOMPARE(ui.centralWidget->layout(), ui.verticalLayout_2);
    QCOMPARE(ui.verticalLayout_2->count(), 1);
    QCOMPARE(ui.verticalLayout_2->itemAt(0)->layout(), ui.verticalLayout);
    QCOMPARE(ui.verticalLayout->count(), 2);
    QCOMPARE(ui.verticalLayout->itemAt(0)->widget(), ui.label);
    QCOMPARE(ui.verticalLayout->itemAt(1)->layout(), ui.horizontalLayout);
    QCOMPARE(ui.horizontalLayout->count(), 3);
    QCOMPARE(ui.horizontalLayout->itemAt(0)->widget(), ui.pushButton);
    QCOMPARE(ui.horizontalLayout->itemAt(1)->widget(), ui.progressBar_2);
    QCOMPARE(ui.horizontalLayout->itemAt(2)->widget(), ui.pushButton_2);
    for (QWidget *widget : {static_cast<QWidget *>(ui.label), static_cast<QWidget *>(ui.pushButton),
                            static_cast<QWidget *>(ui.progressBar_2), static_cast<QWidget *>(ui.pushButton_2)})
        QCOMPARE(widget->parentWidget(), ui.centralWidget);

    QCOMPARE(ui.verticalLayout_2->spacing(), 6);
    QCOMPARE(ui.verticalLayout_2->contentsMargins(), QMargins(11, 11, 11, 11));
    QCOMPARE(ui.verticalLayout->spacing(), 6);
    QCOMPARE(ui.horizontalLayout->spacing(), 6);

    QCOMPARE(ui.menuBar->geometry(), QRect(0, 0, 719, 22));
    QVERIFY(ui.menuBar->actions().isEmpty());
    QVERIFY(ui.mainToolBar->actions().isEmpty());
}

void MainWindowTest::formSetsTextsAndLooks()
{
    QMainWindow window;
    Ui_KestrovixClass ui;
    ui.setupUi(&window);

    QCOMPARE(window.windowTitle(), QString("Kestrovix"));
    QCOMPARE(ui.label->text(), QString("TextLabel"));
    QCOMPARE(ui.pushButton->text(), QString::fromUtf8("手动识别"));
    QCOMPARE(ui.pushButton_2->text(), QString::fromUtf8("自动识别"));

    QCOMPARE(window.size(), QSize(719, 434));
    QCOMPARE(window.styleSheet(),
             QString("background-color: rgb(0, 0, 0);\nbackground-color: rgb(255, 255, 255);"));
    QCOMPARE(ui.label->styleSheet(), QString("background-color: rgb(0, 0, 0);"));
    QCOMPARE(ui.label->alignment(), Qt::AlignCenter);
    for (QWidget *widget : {static_cast<QWidget *>(&window), static_cast<QWidget *>(ui.label)}) {
        QCOMPARE(widget->sizePolicy().horizontalPolicy(), QSizePolicy::Ignored);
        QCOMPARE(widget->sizePolicy().verticalPolicy(), QSizePolicy::Ignored);
        QCOMPARE(widget->sizePolicy().horizontalStretch(), 0);
        QCOMPARE(widget->sizePolicy().verticalStretch(), 0);
    }
    QCOMPARE(ui.progressBar_2->minimum(), 0);
    QCOMPARE(ui.progressBar_2->maximum(), 482);
    QCOMPARE(ui.progressBar_2->value(), 0);
}

void MainWindowTest::formKeepsAnExistingObjectName()
{
    QMainWindow window;
    window.setObjectName("alreadyNamed");
    Ui_KestrovixClass ui;
    ui.setupUi(&window);
    QCOMPARE(window.objectName(), QString("alreadyNamed"));
}

void MainWindowTest::windowOpensWithPictureAreaAndNoProgressBar()
{
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QCOMPARE(w.size(), QSize(719, 434));
    QVERIFY(!w.findChild<QProgressBar *>("progressBar_2")->isVisible());
    QVERIFY(w.findChild<QPushButton *>("pushButton")->isVisible());
    QVERIFY(w.findChild<QPushButton *>("pushButton_2")->isVisible());

    // What the user sees: a white window and a black picture area with nothing in it.
    const QImage shot = w.grab().toImage();
    QLabel *label = pictureArea(w);
    const QRect area(label->mapTo(&w, QPoint(0, 0)), label->size());
    QVERIFY(area.width() > 600 && area.height() > 250);
    QCOMPARE(QColor(shot.pixel(area.center())), QColor(Qt::black));
    QCOMPARE(QColor(shot.pixel(area.topLeft() + QPoint(3, 3))), QColor(Qt::black));
    QCOMPARE(QColor(shot.pixel(area.left() - 5, area.center().y())), QColor(Qt::white));
    QVERIFY(label->text().isEmpty());
}

void MainWindowTest::slotsAreTheTwoPipelines()
{
    const QMetaObject &meta = Kestrovix::staticMetaObject;
    QCOMPARE(QString(meta.className()), QString("Kestrovix"));
    QStringList ownSlots;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Public);
        QCOMPARE(method.parameterCount(), 0);
        ownSlots << QString(method.methodSignature());
    }
    QCOMPARE(ownSlots, QStringList({"onOpencvpic()", "videoplay()"}));
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
}

void MainWindowTest::eachButtonRunsItsOwnPipeline()
{
    // Without media both runs end at once, each leaving its own trace: the manual one
    // shows the progress bar and says it cannot open its video; the automatic one hides the bar.
    QTemporaryDir empty;
    setResourceDirectory(empty.path().toStdString());
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *progressBar = w.findChild<QProgressBar *>("progressBar_2");

    QByteArray printed = program::standardOutputOf([&] {
        QVERIFY(desktop::click(desktop::centreOf(w.findChild<QPushButton *>("pushButton"))));
        QTRY_VERIFY(progressBar->isVisible());
    });
    QCOMPARE(printed, QByteArray("can not open ...\n"));

    printed = program::standardOutputOf([&] {
        QVERIFY(desktop::click(desktop::centreOf(w.findChild<QPushButton *>("pushButton_2"))));
        QTRY_VERIFY(!progressBar->isVisible());
        QTest::qWait(200);
    });
    QVERIFY(printed.isEmpty());
}

void MainWindowTest::presentedFrameKeepsAspectAndIsCentred_data()
{
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("rows");
    QTest::newRow("wide") << 640 << 120;
    QTest::newRow("tall") << 90 << 400;
    QTest::newRow("square") << 200 << 200;
    QTest::newRow("odd width") << 333 << 201;
}

void MainWindowTest::presentedFrameKeepsAspectAndIsCentred()
{
    QFETCH(int, cols);
    QFETCH(int, rows);
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QLabel *label = pictureArea(w);

    w.presentFrame(markedFrame(cols, rows));

    const QSize expected = QSize(cols, rows).scaled(label->size(), Qt::KeepAspectRatio);
    QCOMPARE(label->pixmap().size(), expected);
    // The limiting side fills the label exactly; the other leaves black bars.
    QVERIFY(expected.width() == label->width() || expected.height() == label->height());

    const QImage shot = label->grab().toImage();
    const QRect picture(QPoint((label->width() - expected.width()) / 2, (label->height() - expected.height()) / 2),
                        expected);
    QCOMPARE(QColor(shot.pixel(picture.center())), QColor(Qt::blue));
    QCOMPARE(QColor(shot.pixel(picture.left() + picture.width() / 4, picture.center().y())), QColor(Qt::white));
    if (expected.width() < label->width()) {
        QCOMPARE(QColor(shot.pixel(picture.left() / 2, picture.center().y())), QColor(Qt::black));
        QCOMPARE(QColor(shot.pixel((picture.right() + label->width()) / 2, picture.center().y())),
                 QColor(Qt::black));
    }
    if (expected.height() < label->height()) {
        QCOMPARE(QColor(shot.pixel(picture.center().x(), picture.top() / 2)), QColor(Qt::black));
        QCOMPARE(QColor(shot.pixel(picture.center().x(), (picture.bottom() + label->height()) / 2)),
                 QColor(Qt::black));
    }
    // The centre mark stays round: equal extent across and down.
    int across = 0, down = 0;
    for (int x = picture.left(); x <= picture.right(); ++x)
        across += QColor(shot.pixel(x, picture.center().y())) == QColor(Qt::blue);
    for (int y = picture.top(); y <= picture.bottom(); ++y)
        down += QColor(shot.pixel(picture.center().x(), y)) == QColor(Qt::blue);
    QVERIFY2(std::abs(across - down) <= 2, qPrintable(QString("%1 across, %2 down").arg(across).arg(down)));
}

void MainWindowTest::resizeRescalesTheLastFrameSmoothlyAfterItsSourceIsGone_data()
{
    // How the frame is given: kept by the caller, handed over, or handed over while
    // another header still shares its pixels.
    QTest::addColumn<QString>("given");
    for (const char *given : {"kept", "handed over", "handed over, shared"})
        QTest::newRow(given) << QString(given);
}

void MainWindowTest::resizeRescalesTheLastFrameSmoothlyAfterItsSourceIsGone()
{
    QFETCH(QString, given);
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QLabel *label = pictureArea(w);

    cv::Mat frame(150, 200, CV_8UC3);
    cv::randu(frame, cv::Scalar::all(0), cv::Scalar::all(256));
    const QImage original =
        QImage(frame.data, frame.cols, frame.rows, static_cast<qsizetype>(frame.step), QImage::Format_BGR888)
            .copy();
    if (given == "kept") {
        w.presentFrame(frame);
    } else if (given == "handed over") {
        const uchar *const pixels = frame.data;
        w.presentFrame(std::move(frame));
        cv::Mat next(150, 200, CV_8UC3, cv::Scalar(0, 255, 0));
        // Freed memory is taken again at once: the kept frame must not have been freed.
        QVERIFY(next.data != pixels);
    } else {
        w.presentFrame(cv::Mat(frame));
    }

    // The way a pipeline leaves it: the next frame decoded into the same buffer, then released.
    if (!frame.empty())
        frame.setTo(cv::Scalar(0, 255, 0));
    frame.release();

    w.resize(900, 600);
    QTRY_COMPARE(label->pixmap().size(), original.size().scaled(label->size(), Qt::KeepAspectRatio));
    const QImage expected = original.scaled(label->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_RGB888);
    QCOMPARE(program::shownPicture(w), expected);
    QVERIFY(program::shownPicture(w) != original.scaled(label->size(), Qt::KeepAspectRatio, Qt::FastTransformation)
                                           .convertToFormat(QImage::Format_RGB888));
}

void MainWindowTest::resizeBeforeAnyFrameShowsNothing()
{
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QLabel *label = pictureArea(w);
    QVERIFY(label->pixmap().isNull());
    QVERIFY(label->text().isEmpty());

    w.resize(500, 300);
    QTRY_COMPARE(w.size(), QSize(500, 300));
    QVERIFY(label->pixmap().isNull());
    QVERIFY(label->text().isEmpty());
    const QImage shot = label->grab().toImage();
    for (const QPoint &point : {QPoint(1, 1), QPoint(shot.width() / 2, shot.height() / 2),
                                QPoint(shot.width() - 2, shot.height() - 2)})
        QCOMPARE(QColor(shot.pixel(point)), QColor(Qt::black));
}

void MainWindowTest::framesOfOneSizeInTurnEachShowThemselves()
{
    // Frames as big as the picture area, so that nothing needs scaling: the picture
    // shown may share its pixels with the last frame kept for a resize, which the next
    // frame must not overwrite in place.
    Kestrovix w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QLabel *label = pictureArea(w);
    cv::Mat first(label->height(), label->width(), CV_8UC3), second(first.size(), CV_8UC3);
    cv::randu(first, cv::Scalar::all(0), cv::Scalar::all(256));
    cv::randu(second, cv::Scalar::all(0), cv::Scalar::all(256));
    auto asShown = [](const cv::Mat &frame) {
        return QImage(frame.data, frame.cols, frame.rows, static_cast<qsizetype>(frame.step), QImage::Format_BGR888)
            .convertToFormat(QImage::Format_RGB888);
    };

    w.presentFrame(first);
    const QImage firstShown = program::shownPicture(w);
    QCOMPARE(firstShown, asShown(first));
    const QPixmap firstPixmap = label->pixmap();
    w.presentFrame(second);
    QCOMPARE(program::shownPicture(w), asShown(second));
    QCOMPARE(firstPixmap.toImage().convertToFormat(QImage::Format_RGB888), firstShown);

    // Where a picture leaves bars, they are black on the screen: at the label's edge and
    // against the picture, where the frame before may have been.
    auto onScreen = [&](const QPoint &point) {
        return QColor(desktop::grabWindow(w.winId()).pixel(label->mapTo(&w, point)));
    };
    auto barsAreBlack = [&] {
        const QImage picture = label->pixmap().toImage();
        QVERIFY(picture.width() < label->width() || picture.height() < label->height());
        const bool barsBeside = picture.width() < label->width();
        const QPoint topLeft(label->width() / 2 - picture.width() / 2, label->height() / 2 - picture.height() / 2);
        const QPoint firstOfPicture = barsBeside ? QPoint(0, picture.height() / 2) : QPoint(picture.width() / 2, 0);
        const QPoint labelEdge = barsBeside ? QPoint(0, label->height() / 2) : QPoint(label->width() / 2, 0);
        const QPoint pictureEdge = topLeft + firstOfPicture - (barsBeside ? QPoint(1, 0) : QPoint(0, 1));
        // Once the picture is on the screen...
        QTRY_COMPARE(onScreen(topLeft + firstOfPicture), QColor(picture.pixel(firstOfPicture)));
        for (const QPoint &inBar : {labelEdge, pictureEdge})
            QCOMPARE(onScreen(inBar), QColor(Qt::black));
    };
    const QPoint leftMiddle(0, label->height() / 2);
    QTRY_COMPARE(onScreen(leftMiddle), QColor(asShown(second).pixel(leftMiddle)));
    const cv::Mat narrow(second.rows, second.cols / 2, CV_8UC3, cv::Scalar::all(255));
    w.presentFrame(narrow);
    barsAreBlack();
    if (QTest::currentTestFailed())
        return;
    w.presentFrame(second);

    // A resize scales what is kept: the second frame. The picture no longer covers the
    // whole area.
    const QSize size = w.size();
    w.resize(size + QSize(40, 40));
    QTRY_VERIFY(label->pixmap().size() != QSize(second.cols, second.rows));
    barsAreBlack();
    if (QTest::currentTestFailed())
        return;
    w.resize(size);
    QTRY_COMPARE(program::shownPicture(w), asShown(second));
}

void MainWindowTest::fastScaleGivesQtsPixelsAtEverySize()
{
    // The per-frame scale must show exactly what Qt's fast scale of the frame shows:
    // larger and smaller, odd sizes, one pixel, a frame too wide to be learnt, and
    // bounds with no room at all.
    QList<QPair<QSize, QSize>> cases = {{{1, 1}, {719, 400}},    {{768, 576}, {701, 340}},
                                        {{1280, 720}, {933, 700}}, {{5000, 3}, {640, 480}},
                                        {{320, 240}, {320, 240}},  {{320, 240}, {0, 300}}};
    QRandomGenerator random(20261207);
    for (int i = 0; i < 150; ++i)
        cases.append({QSize(1 + random.bounded(1400), 1 + random.bounded(900)),
                      QSize(1 + random.bounded(1900), 1 + random.bounded(1100))});

    FrameScaler scaler;
    for (const auto &[frameSize, bounds] : cases) {
        QImage frame(frameSize, QImage::Format_BGR888);
        for (int y = 0; y < frame.height(); ++y) {
            uchar *line = frame.scanLine(y);
            for (int x = 0; x < 3 * frame.width(); ++x)
                line[x] = uchar(random.generate());
        }
        const QImage expected = frame.scaled(bounds, Qt::KeepAspectRatio, Qt::FastTransformation);
        const QImage scaled = scaler.scaled(frame, bounds);
        QVERIFY2(scaled.convertToFormat(QImage::Format_RGB888) == expected.convertToFormat(QImage::Format_RGB888),
                 qPrintable(QString("%1x%2 into %3x%4")
                                .arg(frameSize.width())
                                .arg(frameSize.height())
                                .arg(bounds.width())
                                .arg(bounds.height())));
    }
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
