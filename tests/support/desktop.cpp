#include "desktop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <QWidget>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

namespace desktop {

bool xdotool(const QStringList &arguments, QString *output, bool *xError)
{
    QProcess process;
    process.start("xdotool", arguments);
    if (!process.waitForFinished(20000))
        return false;
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput());
    if (xError)
        *xError = process.readAllStandardError().contains("X Error");
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void runLater(int milliseconds, const QString &commandLine)
{
    QProcess::startDetached("sh", {"-c", QString("sleep %1; %2").arg(milliseconds / 1000.0).arg(commandLine)});
}

// xdotool's own --sync waits for ever when the pointer is already at the target,
// so the moves pause briefly instead.
QStringList moveTo(const QPoint &screenPoint)
{
    return {"mousemove", QString::number(screenPoint.x()), QString::number(screenPoint.y()), "sleep", "0.05"};
}

bool click(const QPoint &screenPoint)
{
    return xdotool(moveTo(screenPoint) << "click" << "1");
}

bool drag(const QList<QPoint> &screenPoints)
{
    if (screenPoints.size() < 2)
        return false;
    QStringList steps = moveTo(screenPoints.first()) << "mousedown" << "1";
    for (int i = 1; i < screenPoints.size(); ++i)
        steps << moveTo(screenPoints[i]);
    return xdotool(steps << "mouseup" << "1");
}

bool typeKeyAt(const QPoint &screenPoint, const QString &key)
{
    return xdotool(moveTo(screenPoint) << "key" << key);
}

QList<unsigned long> findWindows(const QString &titlePattern)
{
    QString output;
    QList<unsigned long> windows;
    // A search ends with an X error when a window it looks at goes away meanwhile, as
    // Wine's short-lived ones do: it is asked again.
    bool xError = true;
    for (int attempt = 0; attempt < 5 && xError; ++attempt) {
        if (xdotool({"search", "--onlyvisible", "--name", titlePattern}, &output, &xError))
            break;
        output.clear();
    }
    for (const QString &line : output.split('\n', Qt::SkipEmptyParts))
        windows << line.trimmed().toULong();
    return windows;
}

unsigned long waitForWindow(const QString &titlePattern, int milliseconds)
{
    for (int waited = 0; waited <= milliseconds; waited += 100) {
        const QList<unsigned long> windows = findWindows(titlePattern);
        if (!windows.isEmpty())
            return windows.first();
        QThread::msleep(100);
    }
    return 0;
}

QRect windowGeometry(unsigned long window)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return QRect();
    XWindowAttributes attributes;
    QRect geometry;
    if (XGetWindowAttributes(display, window, &attributes)) {
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(display, window, attributes.root, 0, 0, &x, &y, &child);
        geometry = QRect(x, y, attributes.width, attributes.height);
    }
    XCloseDisplay(display);
    return geometry;
}

bool requestClose(unsigned long window)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, window, False, NoEventMask, &event) != 0;
    XFlush(display);
    XCloseDisplay(display);
    return sent;
}

QImage grabWindow(unsigned long window)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(window).toImage().convertToFormat(QImage::Format_RGB888) : QImage();
}

QPoint centreOf(const QWidget *widget)
{
    return widget->mapToGlobal(widget->rect().center());
}

void typeKeyIntoWindowLater(int milliseconds, const QString &titlePattern, const QString &key)
{
    QProcess::startDetached(QCoreApplication::applicationFilePath(),
                            {"--helper-key", QString::number(milliseconds), titlePattern, key});
}

void closeWindowLater(int milliseconds, const QString &titlePattern)
{
    QProcess::startDetached(QCoreApplication::applicationFilePath(),
                            {"--helper-close", QString::number(milliseconds), titlePattern});
}

int runHelperCommand(int argc, char *argv[])
{
    const QStringList arguments = [&] {
        QStringList all;
        for (int i = 1; i < argc; ++i)
            all << QString::fromLocal8Bit(argv[i]);
        return all;
    }();
    if (arguments.size() == 2 && arguments[0] == "--close-window")
        return requestClose(arguments[1].toULong()) ? 0 : 1;
    const bool typeKey = arguments.size() == 4 && arguments[0] == "--helper-key";
    const bool close = arguments.size() == 3 && arguments[0] == "--helper-close";
    if (!typeKey && !close)
        return -1;
    QThread::msleep(arguments[1].toULong());
    const unsigned long window = waitForWindow(arguments[2], 20000);
    if (!window)
        return 1;
    if (close)
        return requestClose(window) ? 0 : 1;
    return typeKeyAt(windowGeometry(window).center(), arguments[3]) ? 0 : 1;
}

} // namespace desktop
