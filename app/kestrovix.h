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

class AnalysisChooser;
class MethodChooser;
class PictureEditor;
class ResultChooser;
class SceneAnalysis;
class SeekBar;
class RunInWindow;
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
    // The counting lines and regions, as the command line gives them: for this start only.
    void useAnalysis(const SceneAnalysis &analysis);
    // Only frames `first` to `last` of every run (from 1; `last` 0: to the end).
    void useFrameRange(int first, int last);

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
    bool openSource(VideoInput &input, const char *bundledClip, RunInWindow &run);
    // Shows what went wrong with the source during a run, or the source again.
    void finishRun(const VideoInput &input, int generation);

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
    AnalysisChooser *analysisChooser;
    PictureEditor *pictureEditor;
    SeekBar *seekBar;
    int firstFrame = 1;
    int lastFrame = 0;

    // A run shows its frames here, counts them and reports its problems.
    friend class RunInWindow;
};

#endif // KESTROVIX_H
