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

// Starts the built program with the environment given on top of the test's own, and
// the arguments. The program's standard output is kept for `output`; its errors go to
// the test's, or are kept too where `keepErrors` says so.
// KESTROVIX_PROGRAM_UNDER_TEST names another program to start instead: the installed
// one, or a launcher of the installed Windows program under Wine.
bool start(QProcess &process, const QStringList &environment = {}, const QStringList &arguments = {},
           bool keepErrors = false);

// Starts the console program, kestrovix-batch, as start() starts the window's: the
// installed one, or the Windows one under Wine, where KESTROVIX_BATCH_UNDER_TEST names it.
bool startBatch(QProcess &process, const QStringList &arguments);
// The same, waiting for it to end (within `milliseconds`); its standard error is kept
// in `errors`. Returns its exit status, or -1 when it did not end.
int runBatch(const QStringList &arguments, QByteArray *errors = nullptr, int milliseconds = 60000);

// True when the program under test is the Windows program, run under Wine
// (KESTROVIX_PROGRAM_UNDER_WINE is set).
bool underWine();

// Waits for the program to end after its main window was asked to close: within
// 1.5 s, with exit status 0. Under Wine a process that exits with an MP3 clip open
// dies by SIGSEGV, so there only its ending, within 2 s, is judged. Returns what went
// wrong, or an empty string.
QString endsCleanly(QProcess &process);

// What the program under test plays from now on: SDL's disk driver writes it into a
// file in `scratchDirectory`; the Windows program under Wine plays to the desktop's
// sound server, whose recording KESTROVIX_SOUND_RECORDING names.
class SoundRecording
{
public:
    explicit SoundRecording(const QString &scratchDirectory);
    // The environment for start() that sends the sound here.
    QStringList environment() const;
    // The loudest 16-bit sample recorded so far.
    int peak() const;

private:
    QString path;
    qint64 start = 0;
};

// Where a widget of the main window's form sits inside the window, with the
// progress bar shown or hidden (the row of buttons shares its space with the bar):
// from a window of this process, or, where KESTROVIX_LAYOUT_PROBE names a layout
// probe of the program under test (tools/layoutprobe), from what that prints.
// With `seekBarShown`, the progress bar hidden and the slider under the picture shown,
// as on a video file before its manual run.
QRect widgetRect(const char *objectName, bool progressBarShown, bool seekBarShown = false);

// A point inside a button of the row, in window coordinates, that stays on the button
// whether the progress bar is shown or not.
QPoint buttonPoint(const char *objectName);

// The picture area of a main window of this process, as it shows it now.
QImage shownPicture(const QWidget &mainWindow);

// What this process writes to its standard output (or error) while `run` runs, and
// flushes: output still held in a buffer when `run` returns does not count.
QByteArray standardOutputOf(const std::function<void()> &run);
QByteArray standardErrorOf(const std::function<void()> &run);

} // namespace program

#endif // PROGRAM_H
