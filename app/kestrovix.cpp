#include "kestrovix.h"

#include "analysischooser.h"
#include "highguibridge.h"
#include "methodchooser.h"
#include "pictureeditor.h"
#include "resourcedirectory.h"
#include "resultchooser.h"
#include "runinwindow.h"
#include "seekbar.h"
#include "sourcechooser.h"
#include "videoinput.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <opencv2/imgproc.hpp>

Kestrovix::Kestrovix(QWidget *parent)
    : QMainWindow(parent)
    , trackedFrames(0)
    , trackingProgress(nullptr, &trackedFrames)
    , sourceChooser(nullptr)
    , methodChooser(nullptr)
    , resultChooser(nullptr)
    , analysisChooser(nullptr)
    , pictureEditor(nullptr)
    , seekBar(nullptr)
{
    ui.setupUi(this);

    connect(ui.pushButton_2, &QAbstractButton::clicked, this, &Kestrovix::onOpencvpic);
    connect(ui.pushButton, &QAbstractButton::clicked, this, &Kestrovix::videoplay);

    ui.progressBar_2->setValue(trackedFrames);
    ui.progressBar_2->setVisible(false);

    // The picture area paints its black background only beside the picture (see
    // eventFilter): painted under it as well, that background would be painted over
    // again at once, twice the area's pixels for every frame.
    ui.label->setAttribute(Qt::WA_OpaquePaintEvent);
    ui.label->installEventFilter(this);

    trackingProgress = TrackingProgress(ui.progressBar_2, &trackedFrames);
    sourceStatus = SourceStatus(ui.statusBar);
    sourceStatus.showSource(source.name());
    // The menus' dialogs and changes of source wait for any HighGUI call to return.
    auto outsideHighGui = [](const std::function<void()> &work) { HighGuiBridge::instance().runOutside(work); };
    sourceChooser = new SourceChooser(ui.menuBar, this, outsideHighGui);
    connect(sourceChooser, &SourceChooser::chosen, this, [this](const VideoSource &chosen) { useSource(chosen); });
    methodChooser = new MethodChooser(ui.menuBar, ui.statusBar, this, outsideHighGui);
    resultChooser = new ResultChooser(ui.menuBar, ui.statusBar, this, outsideHighGui);

    // Lines and regions drawn on the picture, in the frame's pixels. A line counts the
    // objects it follows: adding one turns identities on.
    analysisChooser = new AnalysisChooser(ui.menuBar, ui.statusBar, this);
    analysisChooser->useSource(source);
    pictureEditor = new PictureEditor(ui.label, [this] { return cv::Size(frameImage.width(), frameImage.height()); });
    connect(analysisChooser, &AnalysisChooser::drawingAsked, pictureEditor, &PictureEditor::draw);
    connect(pictureEditor, &PictureEditor::lineDrawn, analysisChooser, &AnalysisChooser::addLine);
    connect(pictureEditor, &PictureEditor::regionDrawn, analysisChooser, &AnalysisChooser::addRegion);
    connect(pictureEditor, &PictureEditor::problem, analysisChooser, &AnalysisChooser::report);
    connect(pictureEditor, &PictureEditor::hint, ui.statusBar, [this](const QString &text) { ui.statusBar->showMessage(text, 8000); });
    connect(analysisChooser, &AnalysisChooser::lineAdded, methodChooser, &MethodChooser::followIdentities);

    // Under the picture, for a video file: shown only then, so that the window is as it
    // always was on the bundled clips.
    seekBar = new SeekBar(ui.centralWidget);
    ui.verticalLayout->insertWidget(1, seekBar);
    setAcceptDrops(true);
}

Kestrovix::~Kestrovix() = default;

void Kestrovix::presentFrame(const cv::Mat &img)
{
    // Decoded video is 8-bit BGR. Anything else is brought to that first, so that the
    // image never reads past the end of a frame with fewer bytes per pixel.
    cv::Mat bgr = img;
    if (!img.empty() && img.type() != CV_8UC3) {
        if (img.type() == CV_8UC1)
            cv::cvtColor(img, bgr, cv::COLOR_GRAY2BGR);
        else if (img.type() == CV_8UC4)
            cv::cvtColor(img, bgr, cv::COLOR_BGRA2BGR);
        else
            return;
    }

    // The pipelines overwrite or release the frame right after this call, while a
    // later resize still needs the picture, so the image keeps its own copy. The copy
    // goes into the last frame's pixels when nothing else shares them: fresh memory
    // for every frame would cost a page fault for every 4 KiB of it.
    if (frameImage.size() != QSize(bgr.cols, bgr.rows) || frameImage.format() != QImage::Format_BGR888
        || !frameImage.isDetached())
        frameImage = QImage(bgr.cols, bgr.rows, QImage::Format_BGR888);
    if (!frameImage.isNull()) {
        cv::Mat pixels(bgr.rows, bgr.cols, CV_8UC3, frameImage.bits(), static_cast<size_t>(frameImage.bytesPerLine()));
        bgr.copyTo(pixels);
    }
    showFrameImage();
}

void Kestrovix::presentFrame(cv::Mat &&img)
{
    // A frame no other header shares cannot be overwritten behind the image's back, so
    // the image can hold on to it instead of copying it.
    const bool heldByNothingElse = img.u && img.u->refcount == 1 && img.u->urefcount == 0;
    if (img.type() != CV_8UC3 || !heldByNothingElse) {
        presentFrame(static_cast<const cv::Mat &>(img));
        return;
    }
    auto *kept = new cv::Mat(std::move(img));
    frameImage = QImage(kept->data, kept->cols, kept->rows, static_cast<qsizetype>(kept->step[0]),
                        QImage::Format_BGR888, [](void *frame) { delete static_cast<cv::Mat *>(frame); }, kept);
    showFrameImage();
}

void Kestrovix::showFrameImage()
{
    // The fast scale, done straight into the display's format: the pixmap then shares
    // the scaled pixels without a conversion.
    scaledImage = frameScaler.scaled(frameImage, ui.label->size());
    framePixmap = QPixmap::fromImage(scaledImage);
    ui.label->setPixmap(framePixmap);
}

bool Kestrovix::eventFilter(QObject *watched, QEvent *event)
{
    // Before the label draws its picture.
    if (watched == ui.label && event->type() == QEvent::Paint)
        paintBesidePicture(static_cast<QPaintEvent *>(event)->region());
    return QMainWindow::eventFilter(watched, event);
}

void Kestrovix::paintBesidePicture(const QRegion &dirty)
{
    QRegion beside = dirty;
    const QPixmap picture = ui.label->pixmap();
    if (!picture.isNull()) {
        // Where the label places its picture.
        const int margin = ui.label->margin();
        const QRect contents = ui.label->contentsRect().adjusted(margin, margin, -margin, -margin);
        const int alignment = QStyle::visualAlignment(ui.label->layoutDirection(), ui.label->alignment());
        beside -= QStyle::alignedRect(QGuiApplication::layoutDirection(), Qt::Alignment(alignment),
                                      picture.deviceIndependentSize().toSize(), contents)
                      .intersected(contents);
    }
    if (beside.isEmpty())
        return;
    // The background as the style sheet paints it.
    QPainter painter(ui.label);
    painter.setClipRegion(beside);
    QStyleOption option;
    option.initFrom(ui.label);
    ui.label->style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, ui.label);
}

void Kestrovix::quitIfClosed()
{
    // The toolkit quits when its last window closes, but a request to quit made inside
    // a run, itself inside the toolkit's event loop, can be lost on the way out: on
    // Windows the program went on running without a window. Ask again, from here.
    if (!isVisible())
        QCoreApplication::quit();
}

void Kestrovix::useSource(const VideoSource &chosen)
{
    source = chosen;
    ++sourceGeneration;
    // A run in its selection ends with its window "output".
    HighGuiBridge::instance().destroyAll();

    analysisChooser->useSource(source);
    seekBar->showFor(false, 0);
    // A file tells at once what it holds; a stream or a camera is asked when a run opens it.
    if (source.kind != VideoSource::File) {
        sourceChooser->remember(source);
        sourceStatus.showSource(source.name());
        return;
    }
    VideoInput input;
    const bool opened = input.open(source, std::string(), [] {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        return true;
    });
    if (!opened) {
        sourceStatus.showProblem(input.error());
        return;
    }
    sourceChooser->remember(source);
    sourceStatus.showSource(describeSource(source, input.description()));
    seekBar->showFor(true, input.description().frameCount);
}

void Kestrovix::useMethods(const MethodChoice &methods)
{
    methodChooser->setChoice(methods);
}

void Kestrovix::keepResultsIn(const ResultFiles &files)
{
    resultChooser->setFiles(files);
}

void Kestrovix::useAnalysis(const SceneAnalysis &analysis)
{
    analysisChooser->setFromCommandLine(analysis);
}

void Kestrovix::useFrameRange(int first, int last)
{
    firstFrame = first;
    lastFrame = last;
}

bool Kestrovix::openSource(VideoInput &input, const char *bundledClip, RunInWindow &run)
{
    if (!input.open(source, resourcePath(bundledClip), [&run] { return run.keepWaiting(); })) {
        if (!input.error().isEmpty())
            sourceStatus.showProblem(input.error());
        return false;
    }
    input.setFrameRange(firstFrame, lastFrame);
    sourceStatus.showSource(describeSource(source, input.description()));
    return true;
}

void Kestrovix::finishRun(const VideoInput &input, int generation)
{
    // A new source has already said its own.
    if (generation != sourceGeneration)
        return;
    if (!input.error().isEmpty())
        sourceStatus.showProblem(input.error());
    else
        sourceStatus.showFrame(input.framesRead(), true);
}

void Kestrovix::dragEnterEvent(QDragEnterEvent *event)
{
    VideoSource dropped;
    if (SourceChooser::droppedSource(event->mimeData(), &dropped))
        event->acceptProposedAction();
}

void Kestrovix::dropEvent(QDropEvent *event)
{
    VideoSource dropped;
    if (!SourceChooser::droppedSource(event->mimeData(), &dropped))
        return;
    event->acceptProposedAction();
    HighGuiBridge::instance().runOutside([this, dropped] { useSource(dropped); });
}

void Kestrovix::resizeEvent(QResizeEvent *)
{
    // Until the first frame there is nothing to scale: keep the picture area empty
    // (scaling a null image gives a null image, with a warning on every resize).
    scaledImage = frameImage.isNull()
        ? QImage()
        : FrameScaler::displayable(
            frameImage.scaled(ui.label->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    framePixmap = QPixmap::fromImage(scaledImage);
    ui.label->setPixmap(framePixmap);
}
