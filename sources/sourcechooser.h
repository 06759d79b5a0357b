#ifndef SOURCECHOOSER_H
#define SOURCECHOOSER_H

#include "videosource.h"

#include <QObject>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QMimeData;
class QWidget;

// The "File" menu, where the user chooses what the recognitions play: a video file, a
// stream, a camera, one of the recent sources, or the bundled clips again. It
// remembers the recent sources in the settings.
class SourceChooser : public QObject
{
    Q_OBJECT

public:
    // Builds the menu into `menuBar`; the dialogs open over `window`. `outsideHighGui`
    // runs work that opens a dialog or changes the source where no HighGUI call is
    // under way: a nested event loop inside one would hang it.
    SourceChooser(QMenuBar *menuBar, QWidget *window,
                  const std::function<void(const std::function<void()> &)> &outsideHighGui);

    // Puts `source` at the top of the recent sources.
    void remember(const VideoSource &source);
    QStringList recentSources() const;

    // The video file dropped, if `mime` holds a local file.
    static bool droppedSource(const QMimeData *mime, VideoSource *source);

signals:
    void chosen(const VideoSource &source);

private:
    void chooseFile();
    void chooseStream();
    void chooseOtherCamera();
    void listCameras();
    void listRecentSources();
    template <typename Work>
    void onTriggered(QAction *action, Work work);

    QWidget *window;
    std::function<void(const std::function<void()> &)> outsideHighGui;
    QMenu *cameraMenu;
    QMenu *recentMenu;
};

#endif // SOURCECHOOSER_H
