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
        // Qt's loop shows each message it takes from the queue as a "generic" one.
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (!isHighGuiWindow(msg->hwnd))
            return false;
        // The keys as cv::waitKey reports those typed into its windows, whose classes are
        // "Main HighGUI class" and "HighGUI class": characters (WM_CHAR), and the keys
        // that type none by their virtual code, shifted up.
        if (msg->message == WM_CHAR)
            keyTyped(static_cast<int>(msg->wParam));
        else if (msg->message == WM_KEYDOWN && isKeyWithoutCharacter(msg->wParam))
            keyTyped(static_cast<int>(msg->wParam << 16));
        return false;  // dispatched as before
    }

private:
    static bool isKeyWithoutCharacter(WPARAM key)
    {
        return (key >= VK_F1 && key <= VK_F24) || key == VK_HOME || key == VK_END || key == VK_UP || key == VK_DOWN
            || key == VK_LEFT || key == VK_RIGHT || key == VK_INSERT || key == VK_DELETE || key == VK_PRIOR
            || key == VK_NEXT;
    }

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
