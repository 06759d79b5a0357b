#ifndef SOURCESTATUS_H
#define SOURCESTATUS_H

#include <QElapsedTimer>
#include <QString>

class QLabel;
class QStatusBar;

// What the status bar says of the source: which one the buttons will use, the frame a
// run has reached, and what went wrong, which also goes to standard error as a line.
// It says so in a label of its own ("sourceStatus"): the bar's passing messages are
// wiped by every menu entry the pointer crosses.
class SourceStatus
{
public:
    explicit SourceStatus(QStatusBar *bar = nullptr);

    void showSource(const QString &description);
    // During a run a few times a second, not for every frame: the status bar would be
    // repainted with every frame. `now` shows it at once; `note` says more of it.
    void showFrame(int number, bool now = false, const QString &note = QString());
    void showProblem(const QString &message);

private:
    QLabel *label = nullptr;
    QString description;
    QElapsedTimer sinceFrameShown;
};

#endif // SOURCESTATUS_H
