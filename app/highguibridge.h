#ifndef HIGHGUIBRIDGE_H
#define HIGHGUIBRIDGE_H

#include "highguiwindows.h"

#include <QEvent>
#include <QObject>
#include <QPointF>
#include <QPointer>

#include <opencv2/core.hpp>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class QPointingDevice;

// The bridge between the program's Qt windows and OpenCV's HighGUI, which share the
// GUI thread and its event loop. The recognitions run inside a button's slot, so
// nothing but the bridge's waits lets the window system in. There is one bridge, as
// there is one HighGUI in a process; it also serves the region selection's callback.
class HighGuiBridge : public QObject, public HighGuiWindows
{
public:
    static HighGuiBridge &instance();

    // cv::waitKey as it behaves on Windows, on every platform: serves the HighGUI
    // windows that are open, processes the program's own events (repaints, clicks,
    // resizes), waits out `delay` milliseconds without spinning, and reports a key typed
    // into one of the program's own windows as a key. A `delay` of zero or less waits
    // until a key, or until no HighGUI window is left open. Either way it returns -1 at
    // once when the program's windows have all been closed.
    int waitKey(int delay);

    // cv::imshow, remembering the window so that a wait can tell when it has gone.
    void show(const std::string &name, const cv::Mat &image) override;
    // Destroys the window as soon as the current HighGUI callback has returned.
    void destroyLater(const std::string &name) override;
    // cv::destroyAllWindows, forgetting every window shown.
    void destroyAll();

    // Runs `work` now or, when called from inside a HighGUI call (a shortcut can be
    // delivered there), as soon as that call has returned: work that opens a dialog or
    // starts a run must not nest inside HighGUI's wait.
    void runOutside(const std::function<void()> &work);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    HighGuiBridge();

    // A mouse button held back from a HighGUI call, kept as values: a copy of the event
    // would share its point with the pointing device, and so move with the pointer
    // while it waits.
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

    // Counts a HighGUI call for as long as it lives.
    class InsideHighGui
    {
    public:
        explicit InsideHighGui(HighGuiBridge &bridge);
        ~InsideHighGui();
        InsideHighGui(const InsideHighGui &) = delete;
        InsideHighGui &operator=(const InsideHighGui &) = delete;

    private:
        HighGuiBridge &bridge;
    };

    void installInputFilter();
    // Gives HighGUI its turn: events of its windows, then the destruction its callbacks asked for.
    int serveHighGuiWindows();
    void scheduleDelivery();
    void deliverHeldClicks();

    // The HighGUI windows shown and not yet gone, and those to destroy after the call under way.
    std::vector<std::string> shownWindows;
    std::vector<std::string> windowsToDestroy;
    // HighGUI may run the program's own events from inside its calls: cv::waitKey, and
    // cv::imshow, which waits a moment for a new window. A click delivered there would
    // start a run nested inside HighGUI's wait, which then never returns. So mouse
    // buttons are held during HighGUI calls and delivered outside them, in the order
    // they came: while any are held, later ones queue behind them, or a release could
    // reach a button before its press and the click be lost.
    int highGuiCallsUnderWay = 0;
    std::deque<HeldClick> heldClicks;
    std::deque<std::function<void()>> heldWork;  // work asked for inside a HighGUI call
    const QEvent *clickBeingDelivered = nullptr;  // a held click, let through this once
    bool deliveryScheduled = false;
    int waitsUnderWay = 0;
    int keyTypedIntoProgram = -1;  // since the wait under way last looked
    bool inputFilterInstalled = false;
};

#endif // HIGHGUIBRIDGE_H
