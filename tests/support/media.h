#ifndef MEDIA_H
#define MEDIA_H

// Reading the committed media and their ground truth in tests.

#include <QImage>
#include <QString>

#include <QStringList>

#include <opencv2/core.hpp>
#include <opencv2/video/background_segm.hpp>
#include <opencv2/video/tracking.hpp>

#include <string>
#include <vector>

namespace media {

// The source tree's resources directory, which the program reads by default.
QString resources();

std::vector<cv::Mat> readAllFrames(const QString &path);

// Rows of a comma-separated file, without the comment lines.
std::vector<std::vector<std::string>> readCsv(const QString &path);

// One object of bike.avi in one frame.
struct BikeObject
{
    int frame;
    std::string name;
    cv::Rect box;
    int expected;  // 1 must be boxed, 0 must not be, -1 not judged
};
std::vector<BikeObject> readBikeTruth();

// The target's box in every frame of video3.mp4.
std::vector<cv::Rect> readVideo3Truth();

double intersectionOverUnion(const cv::Rect &a, const cv::Rect &b);

// A frame as the picture area shows it: scaled to fit `size`, keeping the aspect ratio.
QImage scaledForDisplay(const cv::Mat &frame, const QSize &size, Qt::TransformationMode mode);

} // namespace media


namespace media {

// Where `frame` appears, pixel for pixel, inside a screenshot; (-1, -1) if it does not.
cv::Point findFrameIn(const QImage &screenshot, const cv::Mat &frame);

// How many pixels of `image` (or of the part `area` of it) have exactly that colour.
int countPixels(const QImage &image, const QColor &colour, const QRect &area = QRect());

// A file's whole content; empty if it cannot be read.
QByteArray fileBytes(const QString &path);

// Writes the frames into `path` as an MPEG-4 video.
bool writeVideo(const QString &path, const std::vector<cv::Mat> &frames);

// The lines of a text file.
QStringList fileLines(const QString &path);

// The boxes the automatic recognition should save for `frames` as rows of a MOT
// Challenge CSV file, from the plain OpenCV calls with `model`: learning rate 0.03,
// threshold 25, erosion 5×5, dilation 11×11, a convex hull's area strictly between
// `lower` and `upper`.
QStringList plainDetectorRows(const std::vector<cv::Mat> &frames, cv::BackgroundSubtractor &model, int lower,
                              int upper);

// The rows the manual recognition should save for `frames` with `tracker`, the object
// drawn at `region` on the first frame: the plain OpenCV calls from the second frame on.
QStringList plainTrackerRows(const std::vector<cv::Mat> &frames, cv::Tracker &tracker, cv::Rect region);

} // namespace media

#endif // MEDIA_H
