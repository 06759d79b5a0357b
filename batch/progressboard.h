#ifndef PROGRESSBOARD_H
#define PROGRESSBOARD_H

#include <QElapsedTimer>
#include <QString>

#include <mutex>
#include <vector>

// What kestrovix-batch says on standard error while it works. On a terminal, one line
// per running input, redrawn in place: its name, the frames done of all, the frames a
// second and the time left. Elsewhere (a log, a cluster's output file), a plain line
// every few seconds per input. Either way a line at each input's end, and the errors;
// with `quiet`, the errors only. The inputs' threads report; the main thread draws.
class ProgressBoard
{
public:
    ProgressBoard(bool terminal, bool quiet);

    // A new input at work; returns its row.
    int add(const QString &name);
    // `total` 0 where the source does not tell.
    void update(int row, int done, int total, double fps);
    void finish(int row, const QString &line);
    void error(const QString &line);
    // Draws what has changed; a few times a second, from one thread.
    void draw();

private:
    struct Row
    {
        QString name;
        int done = 0;
        int total = 0;
        double fps = 0;
        bool running = true;
        QElapsedTimer sincePrinted;
    };

    static QString describe(const Row &row);
    // Above the lines redrawn in place, which are cleared first.
    void printAbove(const QString &line);
    void clearLiveLines();

    const bool terminal;
    const bool quiet;
    std::mutex mutex;
    std::vector<Row> rows;
    int liveLines = 0;  // on the terminal now, below the cursor's line
};

#endif // PROGRESSBOARD_H
