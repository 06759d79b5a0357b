#ifndef PICTUREEDITOR_H
#define PICTUREEDITOR_H

#include "analysischooser.h"
#include "sceneanalysis.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QLabel;
class QWidget;

// Draws a counting line or a region on the picture area with the mouse, whether a run
// plays, is paused or has ended: a line by a drag from one end to the other, a region by
// a click on each corner and a double click to close it. What is drawn is told in the
// video's pixels, whatever the size of the window.
class PictureEditor : public QObject
{
    Q_OBJECT

public:
    // `frameSize` tells the size of the frame on show (empty when there is none).
    PictureEditor(QLabel *picture, const std::function<cv::Size()> &frameSize);

    // Begins drawing; says how in the status of `hint`.
    void draw(AnalysisChooser::Shape shape);

signals:
    void hint(const QString &text);
    void lineDrawn(const CountingLine &line, const cv::Size &frameSize);
    void regionDrawn(const SceneRegion &region, const cv::Size &frameSize);
    void problem(const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Sketch;

    // Where a point of the picture area is in the frame on show.
    cv::Point toVideo(const QPointF &point) const;
    QPointF toPicture(const cv::Point &point) const;
    QRectF pictureRect() const;
    void finish();

    QLabel *picture;
    std::function<cv::Size()> frameSize;
    Sketch *sketch;
    bool drawing = false;
    AnalysisChooser::Shape shape = AnalysisChooser::Line;
    std::vector<cv::Point> points;  // in the video's pixels
    cv::Point pointer;
};

#endif // PICTUREEDITOR_H
