#include "highguikeys.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <windows.h>

#include <cwchar>

namespace {

// Sees each message Qt's loop takes from the queue, before it is dispatched.
class HighGuiKeyWatcher : public QAbstractNativeEventFilter
{
public:
    explicit HighGuiKeyWatcher(std::function<void(int)> keyTyped) : keyTyped(std::move(keyTyped)) {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "windows_dispatcher_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        // cv::waitKey reports the characters (WM_CHAR) typed into its windows, whose
        // classes are "Main HighGUI class" and "HighGUI class".
        if (msg->message == WM_CHAR && isHighGuiWindow(msg->hwnd))
            keyTyped(static_cast<int>(msg->wParam));
        return false;  // dispatched as before
    }

private:
    static bool isHighGuiWindow(HWND window)
    {
        wchar_t className[64] = {};
        return window && GetClassNameW(window, className, 64) > 0 && std::wcsstr(className, L"HighGUI class");
    }

    std::function<void(int)> keyTyped;
};

} // namespace

void watchKeysTypedIntoHighGui(std::function<void(int key)> keyTyped)
{
    // Lives as long as the application, as its event filters do.
    QCoreApplication::instance()->installNativeEventFilter(new HighGuiKeyWatcher(std::move(keyTyped)));
}
