#include "kestrovix.h"

Kestrovix::Kestrovix(QWidget *parent)
    : QMainWindow(parent)
    , trackedFrames(0)
{
    ui.setupUi(this);

    connect(ui.pushButton_2, &QAbstractButton::clicked, this, &Kestrovix::onOpencvpic);
    connect(ui.pushButton, &QAbstractButton::clicked, this, &Kestrovix::videoplay);

    ui.progressBar_2->setValue(trackedFrames);
    ui.progressBar_2->setVisible(false);
}

Kestrovix::~Kestrovix() = default;

void Kestrovix::presentFrame(const cv::Mat &img)
{
    // The pipelines overwrite or release the frame right after this call, while a
    // later resize still needs the picture, so the image keeps its own copy.
    frameImage = QImage(img.data, img.cols, img.rows, static_cast<qsizetype>(img.step),
                        QImage::Format_BGR888)
                     .copy();
    scaledImage = frameImage.scaled(ui.label->size(), Qt::KeepAspectRatio, Qt::FastTransformation);
    framePixmap = QPixmap::fromImage(scaledImage);
    ui.label->setPixmap(framePixmap);
}

void Kestrovix::resizeEvent(QResizeEvent *)
{
    // Until the first frame there is nothing to scale: keep the picture area empty
    // (scaling a null image gives a null image, with a warning on every resize).
    scaledImage = frameImage.isNull()
        ? QImage()
        : frameImage.scaled(ui.label->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    framePixmap = QPixmap::fromImage(scaledImage);
    ui.label->setPixmap(framePixmap);
}
