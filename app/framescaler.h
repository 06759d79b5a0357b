#ifndef FRAMESCALER_H
#define FRAMESCALER_H

#include <QImage>
#include <QSize>

#include <vector>

// Scales frames exactly as QImage::scaled(bounds, Qt::KeepAspectRatio,
// Qt::FastTransformation) scales an image in QImage::Format_BGR888, pixel for pixel,
// but straight into the 32-bit format the display uses (QImage::Format_RGB32), in one
// pass on the calling thread.
//
// Qt scales BGR888 through its generic paint path, on its thread pool, and the result
// must still be converted for display. A nearest-pixel scale is the same choice of
// source pixel for every frame of one size, so the scaler asks Qt once which source
// pixel each shown pixel comes from, and then only copies.
class FrameScaler
{
public:
    // `frame` in QImage::Format_BGR888 scaled to fit `bounds`; other formats are left
    // to Qt.
    QImage scaled(const QImage &frame, const QSize &bounds);

    // A BGR888 image converted to QImage::Format_RGB32; any other image as it is.
    static QImage displayable(const QImage &image);

private:
    // Finds the source column and row of every pixel that Qt's scale of a `frameSize`
    // image to `bounds` shows; false if the scale is not a plain choice of pixels.
    bool learnScale(const QSize &frameSize, const QSize &bounds);

    QSize learntFrameSize;
    QSize learntBounds;
    bool learnt = false;
    QSize scaledSize;
    std::vector<int> sourceColumnOffset;  // bytes into the source row
    std::vector<int> sourceRow;
};

#endif // FRAMESCALER_H
