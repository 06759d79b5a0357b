#include "progressboard.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdio>

namespace {

// How often a plain line is printed for each input, where lines are not redrawn.
constexpr int plainLineMilliseconds = 5000;

void printLine(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

} // namespace

ProgressBoard::ProgressBoard(bool terminal, bool quiet)
    : terminal(terminal)
    , quiet(quiet)
{
}

int ProgressBoard::add(const QString &name)
{
    const std::lock_guard<std::mutex> lock(mutex);
    rows.emplace_back();
    rows.back().name = name;
    rows.back().sincePrinted.start();
    return static_cast<int>(rows.size()) - 1;
}

void ProgressBoard::update(int row, int done, int total, double fps)
{
    const std::lock_guard<std::mutex> lock(mutex);
    rows[row].done = done;
    rows[row].total = total;
    rows[row].fps = fps;
}

QString ProgressBoard::describe(const Row &row)
{
    auto tr = [](const char *text) { return QCoreApplication::translate("ProgressBoard", text); };
    QString text = row.total > 0 ? tr("%1: %2 of %3 frames").arg(row.name).arg(row.done).arg(row.total)
                                 : tr("%1: %2 frames").arg(row.name).arg(row.done);
    if (row.fps > 0) {
        text += tr(", %1 frames a second").arg(row.fps, 0, 'f', 1);
        if (row.total > row.done) {
            const int left = static_cast<int>(std::ceil((row.total - row.done) / row.fps));
            text += tr(", %1:%2 left").arg(left / 60).arg(left % 60, 2, 10, QChar('0'));
        }
    }
    return text;
}

void ProgressBoard::clearLiveLines()
{
    // Up to the first line drawn in place, and each cleared on the way down.
    if (liveLines > 0)
        std::fprintf(stderr, "\x1b[%dA", liveLines);
    std::fprintf(stderr, "\x1b[J");
    liveLines = 0;
}

void ProgressBoard::printAbove(const QString &line)
{
    if (terminal)
        clearLiveLines();
    printLine(line);
}

void ProgressBoard::finish(int row, const QString &line)
{
    const std::lock_guard<std::mutex> lock(mutex);
    rows[row].running = false;
    if (!quiet)
        printAbove(line);
    std::fflush(stderr);
}

void ProgressBoard::error(const QString &line)
{
    const std::lock_guard<std::mutex> lock(mutex);
    printAbove(line);
    std::fflush(stderr);
}

void ProgressBoard::draw()
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (quiet)
        return;
    if (!terminal) {
        for (Row &row : rows)
            if (row.running && row.sincePrinted.elapsed() >= plainLineMilliseconds) {
                printLine(describe(row));
                row.sincePrinted.start();
            }
        std::fflush(stderr);
        return;
    }
    clearLiveLines();
    for (const Row &row : rows)
        if (row.running) {
            printLine(describe(row));
            ++liveLines;
        }
    std::fflush(stderr);
}
