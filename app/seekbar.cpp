#include "seekbar.h"

SeekBar::SeekBar(QWidget *parent)
    : QSlider(Qt::Horizontal, parent)
{
    setObjectName("seekBar");
    setEnabled(false);
    hide();
    connect(this, &QSlider::sliderReleased, this, [this] { requested = value(); });
    // A click beside the handle, or the wheel: the position it moves to.
    connect(this, &QSlider::actionTriggered, this, [this](int action) {
        if (action != SliderMove && action != SliderNoAction)
            requested = sliderPosition();
    });
}

void SeekBar::showFor(bool file, int frameCount)
{
    setRange(1, std::max(1, frameCount));
    setPageStep(std::max(1, frameCount / 20));
    setValue(1);
    setVisible(file && frameCount > 1);
}

void SeekBar::setRunning(bool running)
{
    setEnabled(running);
    requested = 0;
}

void SeekBar::showFrame(int number, bool now)
{
    if (isSliderDown() || (!now && sinceShown.isValid() && sinceShown.elapsed() < 200))
        return;
    sinceShown.start();
    setValue(number);
}

int SeekBar::takeRequest()
{
    const int frame = requested;
    requested = 0;
    return frame;
}
