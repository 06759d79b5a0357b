#include "methodchooser.h"

#include "sizebanddialog.h"
#include "tracksdialog.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

MethodChooser::MethodChooser(QMenuBar *menuBar, QStatusBar *statusBar, QWidget *window,
                             const std::function<void(const std::function<void()> &)> &outsideHighGui)
    : QObject(window)
    , window(window)
    , current(MethodChoice::stored())
{
    QMenu *menu = menuBar->addMenu(tr("&Recognition"));
    detectors = addMethods(menu->addMenu(tr("&Detector")), detectorNames(), &MethodChoice::detector);
    trackers = addMethods(menu->addMenu(tr("&Tracker")), trackerNames(), &MethodChoice::tracker);
    QAction *band = menu->addAction(tr("Size &Band…"));
    connect(band, &QAction::triggered, this, [this, outsideHighGui] { outsideHighGui([this] { chooseSizeBand(); }); });
    menu->addSeparator();
    identities = addSwitch(menu, tr("Follow &Identities"), &MethodChoice::identities);
    identities->setShortcut(QKeySequence(tr("Ctrl+I")));
    QAction *tracks = menu->addAction(tr("Trac&ks…"));
    connect(tracks, &QAction::triggered, this, [this, outsideHighGui] { outsideHighGui([this] { chooseTracks(); }); });
    severalTargets = addSwitch(menu, tr("Several &Targets"), &MethodChoice::severalTargets);
    menu->addSeparator();
    maskView = addSwitch(menu, tr("Show Foreground &Mask"), &MethodChoice::maskView);
    maskView->setShortcut(QKeySequence(tr("Ctrl+M")));

    label = new QLabel(statusBar);
    label->setObjectName("methodStatus");
    // A long message is cut short rather than widening the window.
    label->setMinimumWidth(1);
    statusBar->addPermanentWidget(label);
    showChoice();
}

QActionGroup *MethodChooser::addMethods(QMenu *menu, const QStringList &names, QString MethodChoice::*field)
{
    auto *group = new QActionGroup(this);
    for (const QString &name : names) {
        QAction *action = menu->addAction(displayName(name));
        action->setCheckable(true);
        action->setData(name);
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, name, field] { change([name, field](MethodChoice &choice) { choice.*field = name; }); });
    }
    return group;
}

QAction *MethodChooser::addSwitch(QMenu *menu, const QString &text, bool MethodChoice::*field)
{
    QAction *action = menu->addAction(text);
    action->setCheckable(true);
    connect(action, &QAction::toggled, this, [this, field](bool on) {
        if (on != current.*field)
            change([on, field](MethodChoice &choice) { choice.*field = on; });
    });
    return action;
}

void MethodChooser::followIdentities()
{
    // For as long as the program runs: a line asks for them, not the user.
    current.identities = true;
    showChoice();
}

void MethodChooser::setChoice(const MethodChoice &choice)
{
    current = choice;
    showChoice();
}

void MethodChooser::chooseSizeBand()
{
    SizeBandDialog dialog(current.band, window);
    if (dialog.exec() == QDialog::Accepted)
        change([band = dialog.band()](MethodChoice &choice) { choice.band = band; });
}

void MethodChooser::chooseTracks()
{
    TracksDialog dialog(current.tracks, window);
    if (dialog.exec() == QDialog::Accepted)
        change([tracks = dialog.parameters()](MethodChoice &choice) { choice.tracks = tracks; });
}

void MethodChooser::change(const std::function<void(MethodChoice &)> &edit)
{
    edit(current);
    // Only what was changed here: a method the command line chose stays out of the settings.
    MethodChoice stored = MethodChoice::stored();
    edit(stored);
    stored.store();
    showChoice();
}

void MethodChooser::showChoice()
{
    for (QActionGroup *group : {detectors, trackers})
        for (QAction *action : group->actions())
            action->setChecked(action->data() == (group == detectors ? current.detector : current.tracker));
    maskView->setChecked(current.maskView);
    identities->setChecked(current.identities);
    severalTargets->setChecked(current.severalTargets);
    label->setText(current.summary());
}
