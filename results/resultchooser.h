#ifndef RESULTCHOOSER_H
#define RESULTCHOOSER_H

#include "runresults.h"

#include <QObject>

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
    ResultChooser(QMenuBar *menuBar, QStatusBar *statusBar, QWidget *window);

    const ResultFiles &files() const { return chosen; }
    // Files named on the command line.
    void setFiles(const ResultFiles &files);
    // Says why a result file cannot be written.
    void report(const QString &problem);

private:
    void choose(QAction *action, QString *path, const QString &title, const QString &suggestedName,
                const QString &filter);
    void showFiles();

    QWidget *window;
    QAction *saveBoxes;
    QAction *recordVideo;
    QLabel *label;
    ResultFiles chosen;
};

#endif // RESULTCHOOSER_H
