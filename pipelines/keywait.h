#ifndef KEYWAIT_H
#define KEYWAIT_H

#include <opencv2/core.hpp>

#include <functional>
#include <string>

// cv::waitKey as it behaves on Windows, on every platform.
//
// The pipelines run inside a button's slot, so nothing but this wait lets the window
// system in: it serves the HighGUI windows that are open, processes the main window's
// events (repaints, clicks, resizes), waits out `delay` milliseconds without spinning,
// and reports a key typed into one of the program's own windows as a key. A `delay` of
// zero or less waits until a key, or until no HighGUI window is left open.
// Either way it returns -1 at once when the program's windows have all been closed.
int waitKeyPumping(int delay);

// cv::imshow, remembering the window so that a wait can tell when it has gone.
void showInWindow(const std::string &name, const cv::Mat &image);

// Asks for a HighGUI window to be destroyed as soon as the current HighGUI callback
// has returned. Destroying a window from inside its own callback crashes some
// HighGUI back ends.
void destroyWindowLater(const std::string &name);

// cv::destroyAllWindows, forgetting every window shown.
void destroyAllWindowsNow();

// Runs `work` now or, when called from inside a HighGUI call (a shortcut can be
// delivered there), as soon as that call has returned: work that opens a dialog or
// starts a run must not nest inside HighGUI's wait.
void runOutsideHighGui(const std::function<void()> &work);

#endif // KEYWAIT_H
