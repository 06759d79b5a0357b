#ifndef PROGRAM_H
#define PROGRAM_H

// The real program, started as a user starts it, and where its widgets are on screen.

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>

#include <functional>

class QWidget;

namespace program {

// Starts the built program with the environment given on top of the test's own.
// The program's standard output is kept for `output`, its errors go to the test's.
bool start(QProcess &process, const QStringList &environment = {});

// Where a widget of the main window's form sits inside the window, with the
// progress bar shown or hidden (the row of buttons shares its space with the bar).
QRect widgetRect(const char *objectName, bool progressBarShown);

// A point inside a button of the row, in window coordinates, that stays on the button
// whether the progress bar is shown or not.
QPoint buttonPoint(const char *objectName);

// The picture area of a main window of this process, as it shows it now.
QImage shownPicture(const QWidget &mainWindow);

// What this process writes to its standard output while `run` runs, and flushes:
// output still held in a buffer when `run` returns does not count.
QByteArray standardOutputOf(const std::function<void()> &run);

} // namespace program

#endif // PROGRAM_H
