// Prints where the main window's widgets lie inside the window, frame included, as
// this platform's style and fonts lay them out: one line per widget and state of the
// bars under the picture,
//
//   <object name> <progress bar shown: 1; seek bar shown: 2; neither: 0> <x> <y> <width> <height>
//
// The end-to-end tests read it to find their way around a program they drive from
// outside when it runs where they cannot look inside it: the Windows program under Wine.

#include "kestrovix.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Where the window's client area begins inside its outer rectangle. On Windows the
// frame may be drawn by the program itself (Wine without a window manager does), so
// the system says where; elsewhere a window manager's frame lies outside the window.
QPoint clientOffset(QWidget &window)
{
#ifdef _WIN32
    const auto hwnd = reinterpret_cast<HWND>(window.winId());
    RECT outer;
    POINT client = {0, 0};
    if (GetWindowRect(hwnd, &outer) && ClientToScreen(hwnd, &client))
        return QPoint(client.x - outer.left, client.y - outer.top);
#else
    Q_UNUSED(window);
#endif
    return QPoint(0, 0);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    for (const int state : {0, 1, 2}) {
        Kestrovix probe;
        probe.setWindowTitle("layout probe");
        probe.findChild<QProgressBar *>("progressBar_2")->setVisible(state == 1);
        probe.findChild<QWidget *>("seekBar")->setVisible(state == 2);
        probe.show();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 500)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        for (const char *name : {"label", "pushButton", "progressBar_2", "pushButton_2", "seekBar"}) {
            const auto *widget = probe.findChild<QWidget *>(name);
            const QPoint where = widget->mapTo(&probe, QPoint(0, 0)) + clientOffset(probe);
            std::printf("%s %d %d %d %d %d\n", name, state, where.x(), where.y(), widget->width(), widget->height());
        }
    }
    std::fflush(stdout);
    return 0;
}
