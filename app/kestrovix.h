#ifndef KESTROVIX_H
#define KESTROVIX_H

#include <QImage>
#include <QMainWindow>
#include <QPixmap>

#include <functional>

#include <opencv2/core.hpp>

#include "framescaler.h"
#include "sourcestatus.h"
#include "trackingprogress.h"
#include "ui_kestrovix.h"
#include "videosource.h"

class MethodChooser;
class ResultChooser;
class SourceChooser;
class VideoInput;
struct MethodChoice;
struct ResultFiles;

class Kestrovix : public QMainWindow
{
    Q_OBJECT

public:
    explicit Kestrovix(QWidget *parent = nullptr);
    ~Kestrovix() override;

    // Shows one processed frame in the picture area, scaled to fit and centred. The
    // window keeps a copy for a later resize, since the caller may overwrite `img`...
    void presentFrame(const cv::Mat &img);
    // ...or keeps the frame itself, when it is handed over and nothing else holds it.
    void presentFrame(cv::Mat &&img);

    // Makes both buttons play `source`; a run on another source ends first.
    void useSource(const VideoSource &source);
    const VideoSource &currentSource() const { return source; }
    // The methods and the result files of the runs to come, as the command line sets
    // them: for this start only, not remembered.
    void useMethods(const MethodChoice &methods);
    void keepResultsIn(const ResultFiles &files);

public slots:
    void onOpencvpic();
    void videoplay();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Shows `frameImage` scaled to the picture area.
    void showFrameImage();
    // Paints the picture area's background where its picture leaves it uncovered.
    void paintBesidePicture(const QRegion &dirty);
    // Ends the program at the end of a run during which the window was closed.
    void quitIfClosed();
    // Opens the source for a run, or reports why it cannot be opened.
    bool openSource(VideoInput &input, const char *bundledClip, const std::function<bool()> &serve);
    // Shows what went wrong with the source during a run, or the source again.
    void finishRun(const VideoInput &input, int generation);
    // Whether a run begun when the source had `generation` should go on.
    bool runGoesOn(int generation) const { return isVisible() && generation == sourceGeneration; }
    // Where a run says that a result file cannot be written.
    std::function<void(const QString &)> reportResultProblem();

    Ui_KestrovixClass ui;
    QImage frameImage;
    QImage scaledImage;
    QPixmap framePixmap;
    FrameScaler frameScaler;
    int trackedFrames;
    TrackingProgress trackingProgress;
    VideoSource source;
    int sourceGeneration = 0;  // counts the changes of source, which end the runs on the old one
    SourceChooser *sourceChooser;
    SourceStatus sourceStatus;
    MethodChooser *methodChooser;
    ResultChooser *resultChooser;
};

#endif // KESTROVIX_H
