#include "sourcechooser.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QSettings>
#include <QUrl>

#include <opencv2/videoio.hpp>
#include <opencv2/videoio/registry.hpp>

namespace {

const char *const recentKey = "recentSources";
const int recentCount = 8;
// Cameras are looked for at these indices when the menu opens; others by "Other Camera…".
const int camerasListed = 4;

} // namespace

// Connects an action to work that may open a dialog: never from inside a HighGUI call
// (a shortcut can arrive there).
template <typename Work>
void SourceChooser::onTriggered(QAction *action, Work work)
{
    connect(action, &QAction::triggered, this, [this, work] { outsideHighGui(work); });
}

SourceChooser::SourceChooser(QMenuBar *menuBar, QWidget *window,
                             const std::function<void(const std::function<void()> &)> &outsideHighGui)
    : QObject(window)
    , window(window)
    , outsideHighGui(outsideHighGui)
{
    QMenu *file = menuBar->addMenu(tr("&File"));

    QAction *open = file->addAction(tr("&Open Video…"));
    open->setShortcut(QKeySequence::Open);
    onTriggered(open, [this] { chooseFile(); });
    onTriggered(file->addAction(tr("Open &Stream…")), [this] { chooseStream(); });

    cameraMenu = file->addMenu(tr("&Camera"));
    connect(cameraMenu, &QMenu::aboutToShow, this, &SourceChooser::listCameras);
    recentMenu = file->addMenu(tr("Open &Recent"));
    connect(recentMenu, &QMenu::aboutToShow, this, &SourceChooser::listRecentSources);

    onTriggered(file->addAction(tr("&Bundled Clips")), [this] { emit chosen(VideoSource::bundled()); });
    file->addSeparator();
    QAction *quit = file->addAction(tr("&Quit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, window, &QWidget::close);
}

void SourceChooser::chooseFile()
{
    QSettings settings;
    const QString path = QFileDialog::getOpenFileName(
        window, tr("Open Video"), settings.value("lastFolder").toString(),
        tr("Videos (*.avi *.mp4 *.m4v *.mkv *.mov *.webm *.wmv *.flv *.mpg *.mpeg *.ts *.3gp *.ogv);;All files (*)"));
    if (path.isEmpty())
        return;
    settings.setValue("lastFolder", QFileInfo(path).absolutePath());
    emit chosen(VideoSource::fromArgument(path));
}

void SourceChooser::chooseStream()
{
    QSettings settings;
    bool ok = false;
    const QString url = QInputDialog::getText(window, tr("Open Stream"),
                                              tr("The stream's URL (rtsp://, http://, https://, udp://, …):"),
                                              QLineEdit::Normal, settings.value("lastStream").toString(), &ok)
                            .trimmed();
    if (!ok || url.isEmpty())
        return;
    const VideoSource source = VideoSource::fromArgument(url);
    if (source.kind != VideoSource::Stream) {
        QMessageBox::warning(window, tr("Open Stream"),
                             tr("\"%1\" is not a URL. A stream's URL begins with its protocol, such as rtsp://.")
                                 .arg(url));
        return;
    }
    settings.setValue("lastStream", url);
    emit chosen(source);
}

void SourceChooser::chooseOtherCamera()
{
    bool ok = false;
    const int index = QInputDialog::getInt(window, tr("Use Camera"), tr("The camera's number:"), 0, 0, 99, 1, &ok);
    if (ok)
        emit chosen(VideoSource::camera(index));
}

void SourceChooser::listCameras()
{
    cameraMenu->clear();
    // Asked of the system's own camera back end only (V4L2, DirectShow): the others
    // OpenCV would try in turn take their time over every camera that is not there.
    const std::vector<cv::VideoCaptureAPIs> backends = cv::videoio_registry::getCameraBackends();
    const cv::VideoCaptureAPIs backend = backends.empty() ? cv::CAP_ANY : backends.front();
    for (int index = 0; index < camerasListed; ++index) {
        cv::VideoCapture camera;
        // A camera that is there but taken by a run is listed no more than one that is not.
        if (!camera.open(index, backend))
            continue;
        camera.release();
        onTriggered(cameraMenu->addAction(VideoSource::camera(index).name()),
                    [this, index] { emit chosen(VideoSource::camera(index)); });
    }
    if (cameraMenu->isEmpty())
        cameraMenu->addAction(tr("No camera found"))->setEnabled(false);
    cameraMenu->addSeparator();
    onTriggered(cameraMenu->addAction(tr("Other Camera…")), [this] { chooseOtherCamera(); });
}

void SourceChooser::listRecentSources()
{
    recentMenu->clear();
    for (const QString &setting : recentSources()) {
        const VideoSource source = VideoSource::fromSetting(setting);
        QAction *action = recentMenu->addAction(source.fullName());
        onTriggered(action, [this, source] { emit chosen(source); });
    }
    if (recentMenu->isEmpty()) {
        recentMenu->addAction(tr("No recent sources"))->setEnabled(false);
        return;
    }
    recentMenu->addSeparator();
    connect(recentMenu->addAction(tr("&Clear Recent")), &QAction::triggered, this,
            [] { QSettings().remove(recentKey); });
}

void SourceChooser::remember(const VideoSource &source)
{
    if (source.kind == VideoSource::Bundled)
        return;
    QStringList recent = recentSources();
    recent.removeAll(source.toSetting());
    recent.prepend(source.toSetting());
    QSettings().setValue(recentKey, recent.mid(0, recentCount));
}

QStringList SourceChooser::recentSources() const
{
    return QSettings().value(recentKey).toStringList();
}

bool SourceChooser::droppedSource(const QMimeData *mime, VideoSource *source)
{
    if (!mime->hasUrls())
        return false;
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) {
            *source = VideoSource::fromArgument(url.toLocalFile());
            return true;
        }
    }
    return false;
}
