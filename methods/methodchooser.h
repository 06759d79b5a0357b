#ifndef METHODCHOOSER_H
#define METHODCHOOSER_H

#include "methods.h"

#include <QObject>

#include <functional>

class QActionGroup;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;
class QWidget;

// The "Recognition" menu, where the user chooses the detector, the tracker, the size
// band and the mask view, and a label in the status bar that names them. What is
// chosen here is remembered in the settings; what the command line sets is not.
class MethodChooser : public QObject
{
    Q_OBJECT

public:
    // `outsideHighGui` runs work that opens a dialog where no HighGUI call is under
    // way: a nested event loop inside one would hang it.
    MethodChooser(QMenuBar *menuBar, QStatusBar *statusBar, QWidget *window,
                  const std::function<void(const std::function<void()> &)> &outsideHighGui);

    const MethodChoice &choice() const { return current; }
    // For this start only: shown in the menu, not stored.
    void setChoice(const MethodChoice &choice);
    // Turns identities on for this start, as a counting line needs them.
    void followIdentities();

private:
    QActionGroup *addMethods(QMenu *menu, const QStringList &names, QString MethodChoice::*field);
    void chooseSizeBand();
    void chooseTracks();
    QAction *addSwitch(QMenu *menu, const QString &text, bool MethodChoice::*field);
    // Takes what the user changed, keeps that part in the settings, and shows it.
    void change(const std::function<void(MethodChoice &)> &edit);
    void showChoice();

    QWidget *window;
    QActionGroup *detectors;
    QActionGroup *trackers;
    QAction *maskView;
    QAction *identities;
    QAction *severalTargets;
    QLabel *label;
    MethodChoice current;
};

#endif // METHODCHOOSER_H
