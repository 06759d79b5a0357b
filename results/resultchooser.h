#ifndef RESULTCHOOSER_H
#define RESULTCHOOSER_H

#include "runresults.h"

#include <QObject>

#include <functional>

class QAction;
class QLabel;
class QMenuBar;
class QStatusBar;
class QWidget;

// The "Results" menu, where the user chooses the files the next runs keep their
// results in, and a label in the status bar that says where they go, or why they
// cannot go there (which also goes to standard error).
class ResultChooser : public QObject
{
    Q_OBJECT

public:
    // `outsideHighGui` runs work that opens a dialog where no HighGUI call is under
    // way: a nested event loop inside one would hang it.
    ResultChooser(QMenuBar *menuBar, QStatusBar *statusBar, QWidget *window,
                  const std::function<void(const std::function<void()> &)> &outsideHighGui);

    const ResultFiles &files() const { return chosen; }
    // Files named on the command line.
    void setFiles(const ResultFiles &files);
    // Says why a result file cannot be written.
    void report(const QString &problem);
    // Shows the score of a run that has ended: in the status bar, and in a dialog
    // unless the ground truth came from the command line.
    void showScore(const MotScore &score);
    bool scoresForTheCommandLine() const { return groundTruthFromCommandLine; }

private:
    void choose(QAction *action, QString *path, const QString &title, const QString &suggestedName,
                const QString &filter, bool existing = false);
    void showFiles();

    QWidget *window;
    QAction *saveBoxes;
    QAction *recordVideo;
    QAction *scoreAgainst;
    QAction *saveCrossings;
    bool groundTruthFromCommandLine = false;
    QLabel *label;
    ResultFiles chosen;
};

#endif // RESULTCHOOSER_H
