#ifndef SOURCECHOOSER_H
#define SOURCECHOOSER_H

#include "videosource.h"

#include <QObject>
#include <QStringList>

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
    // Builds the menu into `menuBar`; the dialogs open over `window`.
    SourceChooser(QMenuBar *menuBar, QWidget *window);

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

    QWidget *window;
    QMenu *cameraMenu;
    QMenu *recentMenu;
};

#endif // SOURCECHOOSER_H
