#include "pictureeditor.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include <cmath>

// What is being drawn, over the picture, in the picture area's own coordinates.
class PictureEditor::Sketch : public QWidget
{
public:
    Sketch(PictureEditor &editor, QWidget *parent)
        : QWidget(parent)
        , editor(editor)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0, 255, 255), 2, Qt::DashLine));
        QPolygonF shape;
        for (const cv::Point &point : editor.points)
            shape << editor.toPicture(point);
        shape << editor.toPicture(editor.pointer);
        painter.drawPolyline(shape);
    }

private:
    PictureEditor &editor;
};

PictureEditor::PictureEditor(QLabel *picture, const std::function<cv::Size()> &frameSize)
    : QObject(picture)
    , picture(picture)
    , frameSize(frameSize)
    , sketch(new Sketch(*this, picture))
{
    picture->installEventFilter(this);
}

void PictureEditor::draw(AnalysisChooser::Shape chosen)
{
    if (frameSize().empty()) {
        emit problem(tr("Lines and regions are drawn on the picture: play the video first."));
        return;
    }
    shape = chosen;
    drawing = true;
    points.clear();
    picture->setMouseTracking(true);
    picture->setCursor(Qt::CrossCursor);
    emit hint(shape == AnalysisChooser::Line
                  ? tr("Drag across the picture from one end of the counting line to the other.")
                  : tr("Click each corner of the region on the picture; double-click to close it."));
}

void PictureEditor::finish()
{
    drawing = false;
    points.clear();
    picture->setMouseTracking(false);
    picture->unsetCursor();
    sketch->hide();
}

QRectF PictureEditor::pictureRect() const
{
    // Where the label places its picture: centred in its contents.
    const QPixmap shown = picture->pixmap();
    if (shown.isNull())
        return QRectF();
    const int margin = picture->margin();
    const QRect contents = picture->contentsRect().adjusted(margin, margin, -margin, -margin);
    const int alignment = QStyle::visualAlignment(picture->layoutDirection(), picture->alignment());
    return QStyle::alignedRect(QGuiApplication::layoutDirection(), Qt::Alignment(alignment),
                               shown.deviceIndependentSize().toSize(), contents);
}

cv::Point PictureEditor::toVideo(const QPointF &point) const
{
    const QRectF shown = pictureRect();
    const cv::Size frame = frameSize();
    if (shown.isEmpty() || frame.empty())
        return cv::Point(-1, -1);
    return cv::Point(static_cast<int>(std::floor((point.x() - shown.x()) * frame.width / shown.width())),
                     static_cast<int>(std::floor((point.y() - shown.y()) * frame.height / shown.height())));
}

QPointF PictureEditor::toPicture(const cv::Point &point) const
{
    const QRectF shown = pictureRect();
    const cv::Size frame = frameSize();
    if (shown.isEmpty() || frame.empty())
        return QPointF();
    return QPointF(shown.x() + (point.x + 0.5) * shown.width() / frame.width,
                   shown.y() + (point.y + 0.5) * shown.height() / frame.height);
}

bool PictureEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != picture || !drawing)
        return false;
    switch (event->type()) {
    case QEvent::Resize:
        sketch->setGeometry(picture->rect());
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        break;
    default:
        return false;
    }
    const auto *mouse = static_cast<QMouseEvent *>(event);
    pointer = toVideo(mouse->position());
    const bool left = mouse->button() == Qt::LeftButton;
    if (shape == AnalysisChooser::Line) {
        if (event->type() == QEvent::MouseButtonPress && left) {
            points = {pointer};
        } else if (event->type() == QEvent::MouseButtonRelease && left && !points.empty()) {
            const CountingLine line{points.front(), pointer};
            const cv::Size size = frameSize();
            finish();
            emit lineDrawn(line, size);
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonDblClick && left) {
        // The first click of the two has put its corner down already.
        SceneRegion region;
        region.kind = shape == AnalysisChooser::IgnoredRegion ? SceneRegion::Ignore : SceneRegion::Watch;
        region.corners = points;
        const cv::Size size = frameSize();
        finish();
        emit regionDrawn(region, size);
        return true;
    } else if (event->type() == QEvent::MouseButtonRelease && left) {
        points.push_back(pointer);
    }
    sketch->setGeometry(picture->rect());
    sketch->setVisible(!points.empty());
    sketch->raise();
    sketch->update();
    return true;
}
