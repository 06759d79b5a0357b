#include "media.h"

#include <QFile>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <fstream>
#include <sstream>

namespace media {

QString resources()
{
    return QStringLiteral(KESTROVIX_SOURCE_RESOURCES);
}

std::vector<cv::Mat> readAllFrames(const QString &path)
{
    std::vector<cv::Mat> frames;
    // As the program reads it: through FFmpeg only.
    cv::VideoCapture capture(path.toStdString(), cv::CAP_FFMPEG);
    cv::Mat frame;
    while (capture.read(frame))
        frames.push_back(frame.clone());
    return frames;
}

std::vector<std::vector<std::string>> readCsv(const QString &path)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path.toStdString());
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::stringstream stream(line);
        std::string field;
        while (std::getline(stream, field, ','))
            fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

std::vector<BikeObject> readBikeTruth()
{
    std::vector<BikeObject> objects;
    for (const auto &row : readCsv(resources() + "/bike.truth.csv")) {
        if (row.size() != 7)
            continue;
        objects.push_back({std::stoi(row[0]), row[1],
                           cv::Rect(std::stoi(row[2]), std::stoi(row[3]), std::stoi(row[4]), std::stoi(row[5])),
                           std::stoi(row[6])});
    }
    return objects;
}

std::vector<cv::Rect> readVideo3Truth()
{
    std::vector<cv::Rect> boxes;
    for (const auto &row : readCsv(resources() + "/video3.truth.csv")) {
        if (row.size() == 5)
            boxes.emplace_back(std::stoi(row[1]), std::stoi(row[2]), std::stoi(row[3]), std::stoi(row[4]));
    }
    return boxes;
}

double intersectionOverUnion(const cv::Rect &a, const cv::Rect &b)
{
    const double overlap = (a & b).area();
    const double all = a.area() + b.area() - overlap;
    return all > 0 ? overlap / all : 0.0;
}

QImage scaledForDisplay(const cv::Mat &frame, const QSize &size, Qt::TransformationMode mode)
{
    const QImage image(frame.data, frame.cols, frame.rows, static_cast<qsizetype>(frame.step),
                       QImage::Format_BGR888);
    return image.scaled(size, Qt::KeepAspectRatio, mode).convertToFormat(QImage::Format_RGB888);
}

} // namespace media

namespace media {

cv::Point findFrameIn(const QImage &screenshot, const cv::Mat &frame)
{
    const QImage rgb = screenshot.convertToFormat(QImage::Format_RGB888);
    const cv::Mat shot(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()),
                       static_cast<size_t>(rgb.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(shot, bgr, cv::COLOR_RGB2BGR);
    if (bgr.cols < frame.cols || bgr.rows < frame.rows)
        return {-1, -1};
    cv::Mat scores;
    cv::matchTemplate(bgr, frame, scores, cv::TM_SQDIFF_NORMED);
    double best = 0;
    cv::Point where;
    cv::minMaxLoc(scores, &best, nullptr, &where, nullptr);
    return best < 0.01 ? where : cv::Point(-1, -1);
}

int countPixels(const QImage &image, const QColor &colour, const QRect &area)
{
    const QRect part = area.isNull() ? image.rect() : area & image.rect();
    int count = 0;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeVideo(const QString &path, const std::vector<cv::Mat> &frames)
{
    if (frames.empty())
        return false;
    cv::VideoWriter writer(path.toStdString(), cv::CAP_FFMPEG, cv::VideoWriter::fourcc('m', 'p', '4', 'v'), 25.0,
                           frames.front().size());
    if (!writer.isOpened())
        return false;
    for (const cv::Mat &frame : frames)
        writer.write(frame);
    return true;
}

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

QStringList plainDetectorRows(const std::vector<cv::Mat> &frames, cv::BackgroundSubtractor &model, int lower,
                              int upper)
{
    QStringList rows;
    const cv::Mat erosion = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5));
    const cv::Mat dilation = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(11, 11));
    cv::Mat mask;
    for (size_t i = 0; i < frames.size(); ++i) {
        model.apply(frames[i], mask, 0.03);
        cv::threshold(mask, mask, 25, 255, cv::THRESH_BINARY);
        cv::erode(mask, mask, erosion);
        cv::dilate(mask, mask, dilation);
        std::vector<std::vector<cv::Point>> contours;
        cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
        for (const auto &contour : contours) {
            std::vector<cv::Point> hull;
            cv::convexHull(contour, hull);
            const double area = cv::contourArea(hull);
            if (area <= lower || area >= upper)
                continue;
            const cv::Rect box = cv::boundingRect(contour);
            rows << QString("%1,-1,%2,%3,%4,%5,1,-1,-1,-1").arg(i + 1).arg(box.x).arg(box.y).arg(box.width).arg(box.height);
        }
    }
    return rows;
}

QStringList plainTrackerRows(const std::vector<cv::Mat> &frames, cv::Tracker &tracker, cv::Rect region)
{
    QStringList rows;
    tracker.init(frames.at(1), region);
    for (size_t i = 2; i < frames.size(); ++i)
        if (tracker.update(frames[i], region))
            rows << QString("%1,1,%2,%3,%4,%5,1,-1,-1,-1").arg(i + 1).arg(region.x).arg(region.y).arg(region.width)
                        .arg(region.height);
    return rows;
}

} // namespace media
