#ifndef KESTROVIX_H
#define KESTROVIX_H

#include <QImage>
#include <QMainWindow>
#include <QPixmap>

#include <opencv2/core.hpp>

#include "framescaler.h"
#include "ui_kestrovix.h"

class Kestrovix : public QMainWindow
{
    Q_OBJECT

public:
    explicit Kestrovix(QWidget *parent = nullptr);
    ~Kestrovix() override;

    // Shows one processed frame in the picture area, scaled to fit and centred.
    void presentFrame(const cv::Mat &img);

public slots:
    void onOpencvpic();
    void videoplay();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Paints the picture area's background where its picture leaves it uncovered.
    void paintBesidePicture(const QRegion &dirty);
    // Ends the program at the end of a run during which the window was closed.
    void quitIfClosed();

    Ui_KestrovixClass ui;
    QImage frameImage;
    QImage scaledImage;
    QPixmap framePixmap;
    FrameScaler frameScaler;
    int trackedFrames;
};

#endif // KESTROVIX_H
