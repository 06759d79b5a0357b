#include "keywait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <opencv2/highgui.hpp>

#include <algorithm>
#include <chrono>
#include <deque>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> shownWindows;
std::vector<std::string> windowsToDestroy;
int waitDepth = 0;
int typedKey = -1;

// HighGUI may run the program's own events from inside its calls: cv::waitKey, and
// cv::imshow, which waits a moment for a new window (both toolkits can share one event
// loop). A click delivered there would start a run nested inside HighGUI's wait, which
// then never returns. So mouse buttons are held during HighGUI calls and delivered
// outside them, in the order they came: while any are held, later ones queue behind
// them, or a release could reach a button before its press and the click be lost.
int highGuiDepth = 0;

// A held mouse button, kept as values: a copy of the event would share its point
// with the pointing device, and so move with the pointer while it waits.
struct HeldClick
{
    QPointer<QObject> window;
    QEvent::Type type;
    QPointF position;
    QPointF scenePosition;
    QPointF globalPosition;
    Qt::MouseButton button;
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers modifiers;
    const QPointingDevice *device;
    quint64 timestamp;
};

std::deque<HeldClick> heldClicks;
std::deque<std::function<void()>> heldWork;
const QEvent *clickBeingDelivered = nullptr;
bool deliveryScheduled = false;

void deliverHeldClicks();

// Delivery from the event loop, for clicks still held when no wait comes after them
// (the last run has ended).
void scheduleDelivery()
{
    if (deliveryScheduled || (heldClicks.empty() && heldWork.empty()) || !qApp)
        return;
    deliveryScheduled = true;
    QTimer::singleShot(0, qApp, [] {
        deliveryScheduled = false;
        deliverHeldClicks();
    });
}

struct InsideHighGui
{
    InsideHighGui() { ++highGuiDepth; }
    ~InsideHighGui()
    {
        if (--highGuiDepth == 0)
            scheduleDelivery();
    }
    InsideHighGui(const InsideHighGui &) = delete;
    InsideHighGui &operator=(const InsideHighGui &) = delete;
};

// Keeps the program's own input in order while a wait runs.
class WaitInputFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (event == clickBeingDelivered) {
                clickBeingDelivered = nullptr;
                break;
            }
            if ((highGuiDepth > 0 || !heldClicks.empty()) && watched->isWindowType()) {
                const auto *mouse = static_cast<QMouseEvent *>(event);
                heldClicks.push_back({watched, mouse->type(), mouse->position(), mouse->scenePosition(),
                                      mouse->globalPosition(), mouse->button(), mouse->buttons(),
                                      mouse->modifiers(), mouse->pointingDevice(), mouse->timestamp()});
                scheduleDelivery();
                return true;
            }
            break;
        case QEvent::KeyPress:
            // A key typed into the program's own windows stops a run as a key typed
            // into a HighGUI window does, and does not also press a button. Keys typed
            // into a dialog or an open menu are theirs.
            if (waitDepth > 0 && !QApplication::activeModalWidget() && !QApplication::activePopupWidget()) {
                const auto *keyEvent = static_cast<QKeyEvent *>(event);
                if (!keyEvent->text().isEmpty())
                    typedKey = keyEvent->text().at(0).unicode();
                else if (keyEvent->key() < Qt::Key_Shift || keyEvent->key() > Qt::Key_ScrollLock)
                    typedKey = keyEvent->key() & 0xffff;  // not a bare modifier
                return true;
            }
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }
};

void installWaitInputFilter()
{
    static WaitInputFilter *filter = nullptr;
    if (!filter && qApp) {
        filter = new WaitInputFilter(qApp);
        qApp->installEventFilter(filter);
    }
}

// One at a time from the front: a click may start a run, whose waits deliver the rest.
void deliverHeldClicks()
{
    while (highGuiDepth == 0 && !heldClicks.empty()) {
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
    while (highGuiDepth == 0 && heldClicks.empty() && !heldWork.empty()) {
        const std::function<void()> work = heldWork.front();
        heldWork.pop_front();
        work();
    }
}

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

// Gives HighGUI its turn: events of its windows, then the destruction its callbacks asked for.
int serveHighGuiWindows()
{
    if (shownWindows.empty())
        return -1;
    InsideHighGui guard;
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

} // namespace

int waitKeyPumping(int delay)
{
    installWaitInputFilter();
    ++waitDepth;
    QElapsedTimer clock;
    clock.start();

    int key = -1;
    for (;;) {
        key = serveHighGuiWindows();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        deliverHeldClicks();  // may start a nested run, safely outside HighGUI
        if (key < 0 && typedKey >= 0)
            key = typedKey;
        typedKey = -1;
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

    --waitDepth;
    return key;
}

void showInWindow(const std::string &name, const cv::Mat &image)
{
    InsideHighGui guard;
    cv::imshow(name, image);
    if (std::find(shownWindows.begin(), shownWindows.end(), name) == shownWindows.end())
        shownWindows.push_back(name);
}

void destroyWindowLater(const std::string &name)
{
    windowsToDestroy.push_back(name);
}

void destroyAllWindowsNow()
{
    windowsToDestroy.clear();
    InsideHighGui guard;
    if (!shownWindows.empty())
        cv::destroyAllWindows();
    shownWindows.clear();
}

void runOutsideHighGui(const std::function<void()> &work)
{
    if (highGuiDepth == 0 && heldClicks.empty()) {
        work();
        return;
    }
    heldWork.push_back(work);
    scheduleDelivery();
}
