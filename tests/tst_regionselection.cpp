// Marking the object on the first frame: press, drag, release, in the window "output".

#include "desktop.h"
#include "highguibridge.h"
#include "media.h"
#include "regionselection.h"

#include <QApplication>
#include <QPushButton>
#include <QtTest>

#include <opencv2/highgui.hpp>

namespace {

HighGuiBridge &highGui() { return HighGuiBridge::instance(); }

void press(int x, int y) { onMouse(cv::EVENT_LBUTTONDOWN, x, y, cv::EVENT_FLAG_LBUTTON, nullptr); }
void dragTo(int x, int y) { onMouse(cv::EVENT_MOUSEMOVE, x, y, cv::EVENT_FLAG_LBUTTON, nullptr); }
void release(int x, int y) { onMouse(cv::EVENT_LBUTTONUP, x, y, 0, nullptr); }

// The image part of "output" as it is on the screen.
QImage outputImageOnScreen(unsigned long window)
{
    const cv::Rect image = cv::getWindowImageRect("output");
    return desktop::grabWindow(window).copy(image.x, image.y, image.width, image.height);
}

} // namespace

class RegionSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void dragDownAndRightSelectsTheRectangle();
    void dragUpAndLeftSelectsTheRectangleSeen();
    void clickWithoutDragSelectsAnEmptyRegionAtThePoint();
    void otherButtonsAndPlainMovesAreIgnored();
    void realDragShowsOneRectangleAndReleaseClosesTheWindow();
    void dragsPastTheEdgesAreClippedToThePicture_data();
    void dragsPastTheEdgesAreClippedToThePicture();
    void rightButtonDragIsIgnored();
    void closingOutputInTheMiddleOfADrag();
    void clicksQueuedWhileOutputIsOpenAllArrive();

private:
    // Shows the first frame in "output" with the callback, as the manual run does;
    // returns where the image's top-left corner is on the screen.
    QPoint showOutput();
    // Moves the pointer to a point given in image coordinates and lets HighGUI see it.
    void moveInImage(const QPoint &origin, const QPoint &point);

    QWidget mainWindow;
};

void RegionSelectionTest::initTestCase()
{
    highGui();  // the callback shows "output" through the bridge
    // The waits serve HighGUI only while the program has a window of its own open.
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
}

void RegionSelectionTest::init()
{
    g_firstFrame = cv::Mat(240, 320, CV_8UC3, cv::Scalar(40, 40, 40));
}

void RegionSelectionTest::cleanup()
{
    highGui().destroyAll();
}

void RegionSelectionTest::dragDownAndRightSelectsTheRectangle()
{
    press(100, 80);
    dragTo(130, 100);
    dragTo(160, 120);
    release(170, 135);  // the release point itself is not used: the last drag point is the corner
    QCOMPARE(g_dragStart, cv::Point(100, 80));
    QCOMPARE(g_dragEnd, cv::Point(160, 120));
    QCOMPARE(g_roi, cv::Rect(100, 80, 60, 40));
}

void RegionSelectionTest::dragUpAndLeftSelectsTheRectangleSeen()
{
    press(160, 120);
    dragTo(120, 90);
    dragTo(100, 80);
    release(100, 80);
    QCOMPARE(g_roi, cv::Rect(100, 80, 60, 40));
}

void RegionSelectionTest::clickWithoutDragSelectsAnEmptyRegionAtThePoint()
{
    press(10, 10);
    dragTo(90, 70);
    release(90, 70);
    QCOMPARE(g_roi, cv::Rect(10, 10, 80, 60));

    press(200, 150);
    release(200, 150);
    QCOMPARE(g_roi, cv::Rect(200, 150, 0, 0));
}

void RegionSelectionTest::otherButtonsAndPlainMovesAreIgnored()
{
    press(20, 30);
    dragTo(50, 70);
    release(50, 70);
    const cv::Rect selected = g_roi;

    onMouse(cv::EVENT_MOUSEMOVE, 200, 200, 0, nullptr);
    onMouse(cv::EVENT_RBUTTONDOWN, 5, 5, cv::EVENT_FLAG_RBUTTON, nullptr);
    onMouse(cv::EVENT_MOUSEMOVE, 250, 210, cv::EVENT_FLAG_RBUTTON, nullptr);
    onMouse(cv::EVENT_RBUTTONUP, 250, 210, 0, nullptr);
    onMouse(cv::EVENT_MBUTTONDOWN, 7, 7, cv::EVENT_FLAG_MBUTTON, nullptr);
    onMouse(cv::EVENT_MBUTTONUP, 7, 7, 0, nullptr);
    onMouse(cv::EVENT_LBUTTONDBLCLK, 9, 9, cv::EVENT_FLAG_LBUTTON, nullptr);
    onMouse(cv::EVENT_MOUSEWHEEL, 11, 11, 120 << 16, nullptr);

    QCOMPARE(g_dragStart, cv::Point(20, 30));
    QCOMPARE(g_dragEnd, cv::Point(50, 70));
    QCOMPARE(g_roi, selected);
}

void RegionSelectionTest::realDragShowsOneRectangleAndReleaseClosesTheWindow()
{
    cv::randu(g_firstFrame, cv::Scalar::all(0), cv::Scalar::all(200));  // no pure green in it
    highGui().show("output", g_firstFrame);
    cv::setMouseCallback("output", onMouse, nullptr);
    highGui().waitKey(300);
    const unsigned long window = desktop::waitForWindow("^output$", 5000);
    QVERIFY(window);

    const cv::Rect image = cv::getWindowImageRect("output");
    const QPoint origin = desktop::windowGeometry(window).topLeft() + QPoint(image.x, image.y);
    QVERIFY(desktop::xdotool({"mousemove", QString::number(origin.x() + 60), QString::number(origin.y() + 50),
                              "sleep", "0.05", "mousedown", "1"}));
    for (const QPoint &point : {QPoint(200, 150), QPoint(150, 120), QPoint(100, 90)}) {
        QVERIFY(desktop::xdotool({"mousemove", QString::number(origin.x() + point.x()),
                                  QString::number(origin.y() + point.y()), "sleep", "0.05"}));
        highGui().waitKey(100);
    }

    // Only the rectangle from the press to the last position: 41 x 41 pixels around.
    QTRY_COMPARE_WITH_TIMEOUT(media::countPixels(outputImageOnScreen(window), QColor(0, 255, 0)), 4 * 40, 3000);
    QCOMPARE(g_dragEnd, cv::Point(100, 90));

    QVERIFY(desktop::xdotool({"mouseup", "1"}));
    for (int i = 0; i < 20 && !desktop::findWindows("^output$").isEmpty(); ++i)
        highGui().waitKey(50);
    QVERIFY(desktop::findWindows("^output$").isEmpty());
    QCOMPARE(g_roi, cv::Rect(60, 50, 40, 40));
}

QPoint RegionSelectionTest::showOutput()
{
    highGui().show("output", g_firstFrame);
    cv::setMouseCallback("output", onMouse, nullptr);
    highGui().waitKey(300);
    const unsigned long window = desktop::waitForWindow("^output$", 5000);
    const cv::Rect image = cv::getWindowImageRect("output");
    return desktop::windowGeometry(window).topLeft() + QPoint(image.x, image.y);
}

void RegionSelectionTest::moveInImage(const QPoint &origin, const QPoint &point)
{
    const QPoint screen = origin + point;
    desktop::xdotool({"mousemove", QString::number(std::max(0, screen.x())), QString::number(std::max(0, screen.y())),
                      "sleep", "0.05"});
    highGui().waitKey(60);
}

void RegionSelectionTest::dragsPastTheEdgesAreClippedToThePicture_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("past the top left") << QPoint(100, 80) << QPoint(-25, -20) << QRect(0, 0, 100, 80);
    // Far enough to leave the window: the release comes from outside it.
    QTest::newRow("past the bottom right") << QPoint(250, 200) << QPoint(900, 700) << QRect(250, 200, 70, 40);
}

void RegionSelectionTest::dragsPastTheEdgesAreClippedToThePicture()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QRect, expected);
    const QPoint origin = showOutput();
    QVERIFY(!desktop::findWindows("^output$").isEmpty());

    moveInImage(origin, from);
    QVERIFY(desktop::xdotool({"mousedown", "1"}));
    moveInImage(origin, (from + to) / 2);
    moveInImage(origin, to);
    QVERIFY(desktop::xdotool({"mouseup", "1"}));
    for (int i = 0; i < 20 && !desktop::findWindows("^output$").isEmpty(); ++i)
        highGui().waitKey(50);

    QVERIFY(desktop::findWindows("^output$").isEmpty());
    QCOMPARE(g_roi, cv::Rect(expected.x(), expected.y(), expected.width(), expected.height()));
}

void RegionSelectionTest::rightButtonDragIsIgnored()
{
    g_roi = cv::Rect(1, 2, 3, 4);
    const QPoint origin = showOutput();
    moveInImage(origin, QPoint(40, 40));
    QVERIFY(desktop::xdotool({"mousedown", "3"}));
    moveInImage(origin, QPoint(120, 100));
    QVERIFY(desktop::xdotool({"mouseup", "3"}));
    highGui().waitKey(200);

    QCOMPARE(g_roi, cv::Rect(1, 2, 3, 4));
    QVERIFY(!desktop::findWindows("^output$").isEmpty());
}

void RegionSelectionTest::closingOutputInTheMiddleOfADrag()
{
    g_roi = cv::Rect(5, 6, 7, 8);
    const QPoint origin = showOutput();
    const unsigned long window = desktop::waitForWindow("^output$", 5000);
    moveInImage(origin, QPoint(50, 50));
    QVERIFY(desktop::xdotool({"mousedown", "1"}));
    moveInImage(origin, QPoint(90, 80));

    QVERIFY(desktop::requestClose(window));
    for (int i = 0; i < 20 && !desktop::findWindows("^output$").isEmpty(); ++i)
        highGui().waitKey(50);
    QVERIFY(desktop::findWindows("^output$").isEmpty());
    QCOMPARE(highGui().waitKey(0), -1);  // nothing left to wait for

    QVERIFY(desktop::xdotool({"mouseup", "1"}));
    highGui().waitKey(100);
    QCOMPARE(g_roi, cv::Rect(5, 6, 7, 8));  // no release reached the callback
}

void RegionSelectionTest::clicksQueuedWhileOutputIsOpenAllArrive()
{
    // Clicks on the program's own window during HighGUI's waits, by turns on two
    // buttons. A press taken by HighGUI's wait and its release by the program's own
    // event loop right after must still reach the button in that order, each where
    // it happened, though the pointer has moved on by then. Presses a fraction of a
    // millisecond before their releases split that way often.
    QWidget buttons;
    buttons.setGeometry(500, 600, 400, 80);
    QPushButton left("Left", &buttons);
    left.setGeometry(0, 0, 200, 80);
    QPushButton right("Right", &buttons);
    right.setGeometry(200, 0, 200, 80);
    buttons.show();
    QVERIFY(QTest::qWaitForWindowExposed(&buttons));
    int leftClicks = 0;
    int rightClicks = 0;
    connect(&left, &QPushButton::clicked, [&leftClicks] { ++leftClicks; });
    connect(&right, &QPushButton::clicked, [&rightClicks] { ++rightClicks; });

    showOutput();
    QVERIFY(!desktop::findWindows("^output$").isEmpty());
    QStringList clickCommands;
    for (int i = 0; i < 40; ++i) {
        const QPoint centre = desktop::centreOf(i % 2 ? &right : &left);
        clickCommands << QString("mousemove %1 %2 sleep 0.03 mousedown 1 sleep 0.%3 mouseup 1")
                             .arg(centre.x())
                             .arg(centre.y())
                             .arg(i % 8 + 2, 4, 10, QChar('0'));
    }
    desktop::runLater(0, "xdotool " + clickCommands.join(' '));
    QElapsedTimer clock;
    clock.start();
    while (leftClicks + rightClicks < 40 && clock.elapsed() < 8000)
        highGui().waitKey(1);
    highGui().waitKey(100);
    QCOMPARE(leftClicks, 20);
    QCOMPARE(rightClicks, 20);
    QVERIFY(!left.isDown() && !right.isDown());
}

QTEST_MAIN(RegionSelectionTest)
#include "tst_regionselection.moc"
