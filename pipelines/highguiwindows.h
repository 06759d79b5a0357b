#ifndef HIGHGUIWINDOWS_H
#define HIGHGUIWINDOWS_H

#include <opencv2/core.hpp>

#include <string>

// The HighGUI windows a recognition opens ("output"), as the program serves them:
// shown so that the waits which serve HighGUI know of them, and destroyed only once
// the HighGUI call under way has returned, since destroying a window from inside its
// own callback crashes some HighGUI back ends.
class HighGuiWindows
{
public:
    virtual void show(const std::string &name, const cv::Mat &image) = 0;
    virtual void destroyLater(const std::string &name) = 0;

protected:
    ~HighGuiWindows() = default;
};

#endif // HIGHGUIWINDOWS_H
