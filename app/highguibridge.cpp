#include "highguibridge.h"

#include "highguikeys.h"
#include "regionselection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <opencv2/highgui.hpp>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

bool windowIsOpen(const std::string &name)
{
    try {
        return cv::getWindowProperty(name, cv::WND_PROP_VISIBLE) > 0;
    } catch (const cv::Exception &) {
        return false;  // the Qt back end throws once its last window is gone
    }
}

bool programWindowShown()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](QWidget *window) { return window->isVisible(); });
}

} // namespace

HighGuiBridge &HighGuiBridge::instance()
{
    // Never destroyed: HighGUI's windows and the application's event filters outlive
    // any order of static destruction.
    static HighGuiBridge *bridge = new HighGuiBridge;
    return *bridge;
}

HighGuiBridge::HighGuiBridge()
{
    g_highGuiWindows = this;
}

HighGuiBridge::InsideHighGui::InsideHighGui(HighGuiBridge &bridge)
    : bridge(bridge)
{
    ++bridge.highGuiCallsUnderWay;
}

HighGuiBridge::InsideHighGui::~InsideHighGui()
{
    if (--bridge.highGuiCallsUnderWay == 0)
        bridge.scheduleDelivery();
}

// Delivery from the event loop, for clicks still held when no wait comes after them
// (the last run has ended).
void HighGuiBridge::scheduleDelivery()
{
    if (deliveryScheduled || (heldClicks.empty() && heldWork.empty()) || !qApp)
        return;
    deliveryScheduled = true;
    QTimer::singleShot(0, qApp, [this] {
        deliveryScheduled = false;
        deliverHeldClicks();
    });
}

void HighGuiBridge::installInputFilter()
{
    if (!inputFilterInstalled && qApp) {
        qApp->installEventFilter(this);
        watchKeysTypedIntoHighGui([this](int key) {
            if (waitsUnderWay > 0)
                keyTypedIntoProgram = key;
        });
        inputFilterInstalled = true;
    }
}

// Keeps the program's own input in order while a wait runs.
bool HighGuiBridge::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        if (event == clickBeingDelivered) {
            clickBeingDelivered = nullptr;
            break;
        }
        if ((highGuiCallsUnderWay > 0 || !heldClicks.empty()) && watched->isWindowType()) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            heldClicks.push_back({watched, mouse->type(), mouse->position(), mouse->scenePosition(),
                                  mouse->globalPosition(), mouse->button(), mouse->buttons(), mouse->modifiers(),
                                  mouse->pointingDevice(), mouse->timestamp()});
            scheduleDelivery();
            return true;
        }
        break;
    case QEvent::KeyPress:
        // A key typed into the program's own windows stops a run as a key typed into a
        // HighGUI window does, and does not also press a button. Keys typed into a
        // dialog or an open menu are theirs.
        if (waitsUnderWay > 0 && !QApplication::activeModalWidget() && !QApplication::activePopupWidget()) {
            const auto *keyEvent = static_cast<QKeyEvent *>(event);
            if (!keyEvent->text().isEmpty())
                keyTypedIntoProgram = keyEvent->text().at(0).unicode();
            else if (keyEvent->key() < Qt::Key_Shift || keyEvent->key() > Qt::Key_ScrollLock)
                keyTypedIntoProgram = keyEvent->key() & 0xffff;  // not a bare modifier
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// One at a time from the front: a click may start a run, whose waits deliver the rest.
void HighGuiBridge::deliverHeldClicks()
{
    while (highGuiCallsUnderWay == 0 && !heldClicks.empty()) {
        const HeldClick click = heldClicks.front();
        heldClicks.pop_front();
        if (!click.window)
            continue;
        QMouseEvent event(click.type, click.position, click.scenePosition, click.globalPosition, click.button,
                          click.buttons, click.modifiers, click.device);
        event.setTimestamp(click.timestamp);
        clickBeingDelivered = &event;
        QCoreApplication::sendEvent(click.window, &event);
        clickBeingDelivered = nullptr;
    }
    while (highGuiCallsUnderWay == 0 && heldClicks.empty() && !heldWork.empty()) {
        const std::function<void()> work = heldWork.front();
        heldWork.pop_front();
        work();
    }
}

int HighGuiBridge::serveHighGuiWindows()
{
    if (shownWindows.empty())
        return -1;
    InsideHighGui guard(*this);
    const int key = cv::waitKey(1);
    for (const std::string &name : windowsToDestroy) {
        if (windowIsOpen(name))
            cv::destroyWindow(name);
    }
    windowsToDestroy.clear();
    shownWindows.erase(std::remove_if(shownWindows.begin(), shownWindows.end(),
                                      [](const std::string &name) { return !windowIsOpen(name); }),
                       shownWindows.end());
    return key;
}

int HighGuiBridge::waitKey(int delay)
{
    installInputFilter();
    ++waitsUnderWay;
    QElapsedTimer clock;
    clock.start();

    int key = -1;
    for (;;) {
        key = serveHighGuiWindows();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        deliverHeldClicks();  // may start a nested run, safely outside HighGUI
        if (key < 0 && keyTypedIntoProgram >= 0)
            key = keyTypedIntoProgram;
        keyTypedIntoProgram = -1;
        if (key >= 0 || !programWindowShown())
            break;

        if (delay <= 0) {
            if (shownWindows.empty())
                break;
            continue;  // cv::waitKey(1) above paces this loop
        }
        const qint64 remaining = qint64(delay) * 1000000 - clock.nsecsElapsed();
        if (remaining <= 0)
            break;
        if (shownWindows.empty()) {
            if (remaining >= 1000000) {
                // Sleep the whole milliseconds left while the main window's events are
                // served (timers count in milliseconds, rounded up)...
                QEventLoop sleeper;
                QTimer::singleShot(static_cast<int>(remaining / 1000000), Qt::PreciseTimer, &sleeper,
                                   &QEventLoop::quit);
                sleeper.exec();
            } else {
                // ...and the last fraction of one without them, so as not to oversleep.
                std::this_thread::sleep_for(std::chrono::nanoseconds(remaining));
            }
        }
    }

    --waitsUnderWay;
    return key;
}

void HighGuiBridge::show(const std::string &name, const cv::Mat &image)
{
    InsideHighGui guard(*this);
    cv::imshow(name, image);
    if (std::find(shownWindows.begin(), shownWindows.end(), name) == shownWindows.end())
        shownWindows.push_back(name);
}

void HighGuiBridge::destroyLater(const std::string &name)
{
    windowsToDestroy.push_back(name);
}

void HighGuiBridge::destroyAll()
{
    windowsToDestroy.clear();
    InsideHighGui guard(*this);
    if (!shownWindows.empty())
        cv::destroyAllWindows();
    shownWindows.clear();
}

void HighGuiBridge::runOutside(const std::function<void()> &work)
{
    if (highGuiCallsUnderWay == 0 && heldClicks.empty()) {
        work();
        return;
    }
    heldWork.push_back(work);
    scheduleDelivery();
}
