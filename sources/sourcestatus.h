#ifndef SOURCESTATUS_H
#define SOURCESTATUS_H

#include <QString>

class QStatusBar;

// What the status bar says of the source: which one the buttons will use, the frame a
// run has reached, and what went wrong, which also goes to standard error as a line.
class SourceStatus
{
public:
    explicit SourceStatus(QStatusBar *bar);

    void showSource(const QString &description);
    void showFrame(int number);
    void showProblem(const QString &message);

private:
    QStatusBar *bar;
    QString description;
};

#endif // SOURCESTATUS_H
