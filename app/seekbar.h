#ifndef SEEKBAR_H
#define SEEKBAR_H

#include <QElapsedTimer>
#include <QSlider>

// The slider under the picture: it follows the automatic run on a video file, and
// moving it moves the run to another frame. Streams and cameras have none.
class SeekBar : public QSlider
{
    Q_OBJECT

public:
    explicit SeekBar(QWidget *parent = nullptr);

    // Shown for a file of `frameCount` frames, hidden for other sources.
    void showFor(bool file, int frameCount);
    // A run that can be moved uses it; others leave it still.
    void setRunning(bool running);
    // The frame the run has reached, a few times a second, unless the user holds the slider.
    void showFrame(int number, bool now = false);
    // The frame the user moved it to since the last call, or 0.
    int takeRequest();

private:
    int requested = 0;
    QElapsedTimer sinceShown;
};

#endif // SEEKBAR_H
