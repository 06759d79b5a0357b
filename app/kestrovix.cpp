#include "kestrovix.h"

#include <QCoreApplication>

#include <opencv2/imgproc.hpp>

Kestrovix::Kestrovix(QWidget *parent)
    : QMainWindow(parent)
    , trackedFrames(0)
{
    ui.setupUi(this);

    connect(ui.pushButton_2, &QAbstractButton::clicked, this, &Kestrovix::onOpencvpic);
    connect(ui.pushButton, &QAbstractButton::clicked, this, &Kestrovix::videoplay);

    ui.progressBar_2->setValue(trackedFrames);
    ui.progressBar_2->setVisible(false);

    // Until a picture covers it, the picture area paints its whole black background
    // itself (see showFramePixmap).
    ui.label->setAutoFillBackground(true);
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
    // The fast scale, done straight into the display's format: the pixmap then shares
    // the scaled pixels without a conversion.
    scaledImage = frameScaler.scaled(frameImage, ui.label->size());
    framePixmap = QPixmap::fromImage(scaledImage);
    showFramePixmap();
}

void Kestrovix::showFramePixmap()
{
    // The picture area paints all of itself, so that a new frame repaints only it, not
    // the window and central widget behind it as well: its black background, where the
    // picture leaves bars, and otherwise the picture alone, which covers that background.
    const bool pictureCoversArea = !framePixmap.isNull() && framePixmap.size() == ui.label->size();
    ui.label->setAutoFillBackground(!pictureCoversArea);
    ui.label->setAttribute(Qt::WA_OpaquePaintEvent, pictureCoversArea);
    ui.label->setPixmap(framePixmap);
}

void Kestrovix::quitIfClosed()
{
    // The toolkit quits when its last window closes, but a request to quit made inside
    // a run, itself inside the toolkit's event loop, can be lost on the way out: on
    // Windows the program went on running without a window. Ask again, from here.
    if (!isVisible())
        QCoreApplication::quit();
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
    showFramePixmap();
}
