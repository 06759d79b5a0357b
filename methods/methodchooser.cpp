#include "methodchooser.h"

#include "keywait.h"
#include "sizebanddialog.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

MethodChooser::MethodChooser(QMenuBar *menuBar, QStatusBar *statusBar, QWidget *window)
    : QObject(window)
    , window(window)
    , current(MethodChoice::stored())
{
    QMenu *menu = menuBar->addMenu(tr("&Recognition"));
    detectors = addMethods(menu->addMenu(tr("&Detector")), detectorNames(), &MethodChoice::detector);
    trackers = addMethods(menu->addMenu(tr("&Tracker")), trackerNames(), &MethodChoice::tracker);
    QAction *band = menu->addAction(tr("Size &Band…"));
    // A dialog never opens inside a HighGUI call, where a nested event loop would hang it.
    connect(band, &QAction::triggered, this, [this] { runOutsideHighGui([this] { chooseSizeBand(); }); });
    menu->addSeparator();
    maskView = menu->addAction(tr("Show Foreground &Mask"));
    maskView->setCheckable(true);
    maskView->setShortcut(QKeySequence(tr("Ctrl+M")));
    connect(maskView, &QAction::toggled, this, [this](bool on) {
        if (on != current.maskView)
            change([on](MethodChoice &choice) { choice.maskView = on; });
    });

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
    label->setText(current.summary());
}
