#include "keywait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <opencv2/highgui.hpp>

#include <algorithm>
#include <vector>

namespace {

std::vector<std::string> shownWindows;
std::vector<std::string> windowsToDestroy;
int waitDepth = 0;
int typedKey = -1;

// Takes the keys typed into the program's own windows while a wait runs, so that they
// stop a run as a key typed into a HighGUI window does, and do not also press a button.
class TypedKeyFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (waitDepth == 0 || event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        if (!keyEvent->text().isEmpty())
            typedKey = keyEvent->text().at(0).unicode();
        else if (keyEvent->key() < Qt::Key_Shift || keyEvent->key() > Qt::Key_ScrollLock)
            typedKey = keyEvent->key() & 0xffff;  // not a bare modifier
        return true;
    }
};

void installTypedKeyFilter()
{
    static TypedKeyFilter *filter = nullptr;
    if (!filter && qApp) {
        filter = new TypedKeyFilter(qApp);
        qApp->installEventFilter(filter);
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
    installTypedKeyFilter();
    ++waitDepth;
    QElapsedTimer clock;
    clock.start();

    int key = -1;
    for (;;) {
        key = serveHighGuiWindows();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
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
    if (!shownWindows.empty())
        cv::destroyAllWindows();
    shownWindows.clear();
}
