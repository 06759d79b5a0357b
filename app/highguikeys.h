#ifndef HIGHGUIKEYS_H
#define HIGHGUIKEYS_H

#include <functional>

// Keys typed into a HighGUI window that the program's own event loop took before
// cv::waitKey saw them. On Windows both loops read the thread's one message queue, and
// HighGUI learns of a key only inside its own waitKey: a key read by Qt's loop would
// be lost. Elsewhere HighGUI's windows have an event loop of their own, and nothing
// needs watching.
void watchKeysTypedIntoHighGui(std::function<void(int key)> keyTyped);

#endif // HIGHGUIKEYS_H
