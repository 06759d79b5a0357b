#ifndef DESKTOP_H
#define DESKTOP_H

// What a user does at the desktop, done for real on the X server the tests run on:
// mouse and keyboard through xdotool (XTEST), closing a window the way a window
// manager's close button does, and looking at another program's window.

#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

class QWidget;

namespace desktop {

// Runs xdotool with the arguments and waits for it; true if it succeeded, and in
// `xError` whether an X error stopped it.
// (Its "mousemove --sync" hangs when the pointer is already there: pause instead.)
bool xdotool(const QStringList &arguments, QString *output = nullptr, bool *xError = nullptr);

// Runs a shell command line later, without waiting: input that arrives while
// the program under test is busy inside a pipeline.
void runLater(int milliseconds, const QString &commandLine);

// Left click at a point on the screen.
bool click(const QPoint &screenPoint);

// Left-button drag along the points, pressing at the first and releasing at the last.
bool drag(const QList<QPoint> &screenPoints);

// Types one key (an xdotool key name) into the window under the given point.
bool typeKeyAt(const QPoint &screenPoint, const QString &key);

// X window ids of the visible windows whose title matches the regular expression.
QList<unsigned long> findWindows(const QString &titlePattern);

// Waits up to `milliseconds` for a visible window with that title; 0 if none came.
unsigned long waitForWindow(const QString &titlePattern, int milliseconds);

// Where the window is on the screen and how big it is.
QRect windowGeometry(unsigned long window);

// Asks the window to close, as a window manager's close button does (WM_DELETE_WINDOW).
bool requestClose(unsigned long window);

// The window's content as it is on the screen.
QImage grabWindow(unsigned long window);

// Centre of a widget of this process, in screen coordinates.
QPoint centreOf(const QWidget *widget);

// Later, while this process is busy in a pipeline, a helper process waits for the
// window with that title and types a key into it (pointer at its centre), or asks
// it to close as its close button would.
void typeKeyIntoWindowLater(int milliseconds, const QString &titlePattern, const QString &key);
void closeWindowLater(int milliseconds, const QString &titlePattern);

// The helper side of the above: handles the command line of a helper process and
// returns its exit code, or -1 when the command line is not a helper's. A helper
// run as "--close-window <id>" closes that window at once.
int runHelperCommand(int argc, char *argv[]);

} // namespace desktop

// A test's main that also serves as the helper process of typeKeyIntoWindowLater
// and closeWindowLater.
#define KESTROVIX_TEST_MAIN(TestClass)                               \
    int main(int argc, char *argv[])                                 \
    {                                                                \
        const int helperExit = desktop::runHelperCommand(argc, argv); \
        if (helperExit >= 0)                                         \
            return helperExit;                                       \
        QApplication app(argc, argv);                                \
        TestClass test;                                              \
        return QTest::qExec(&test, argc, argv);                      \
    }

#endif // DESKTOP_H
