#include "keywait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <opencv2/highgui.hpp>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::vector<std::string> shownWindows;
std::vector<std::string> windowsToDestroy;
int waitDepth = 0;
int typedKey = -1;

// HighGUI may run the program's own events from inside its calls: cv::waitKey, and
// cv::imshow, which waits a moment for a new window (both toolkits can share one event
// loop). A click delivered there would start a run nested inside HighGUI's wait, which
// then never returns. So mouse buttons are held during HighGUI calls and delivered by
// the next wait, outside them.
int highGuiDepth = 0;
std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> heldClicks;

struct InsideHighGui
{
    InsideHighGui() { ++highGuiDepth; }
    ~InsideHighGui() { --highGuiDepth; }
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
            if (highGuiDepth > 0 && watched->isWindowType()) {
                heldClicks.emplace_back(watched, event->clone());
                return true;
            }
            break;
        case QEvent::KeyPress:
            // A key typed into the program's own windows stops a run as a key typed
            // into a HighGUI window does, and does not also press a button.
            if (waitDepth > 0) {
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

void deliverHeldClicks()
{
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> clicks;
    clicks.swap(heldClicks);
    for (auto &[window, event] : clicks)
        if (window)
            QCoreApplication::sendEvent(window, event.get());
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
        if (highGuiDepth == 0)
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
        const qint64 remaining = delay - clock.elapsed();
        if (remaining <= 0)
            break;
        if (shownWindows.empty()) {
            // Sleep until the deadline while the main window's events are served.
            QEventLoop sleeper;
            QTimer::singleShot(static_cast<int>(remaining), Qt::PreciseTimer, &sleeper, &QEventLoop::quit);
            sleeper.exec();
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
