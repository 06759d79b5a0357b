#include "tracksdialog.h"

#include <QPushButton>

TracksDialog::TracksDialog(const TrackParameters &parameters, QWidget *parent)
    : QDialog(parent)
{
    ui.setupUi(this);
    fill(parameters);
    connect(ui.buttonBox->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            [this] { fill(TrackParameters()); });
}

void TracksDialog::fill(const TrackParameters &parameters)
{
    ui.framesToConfirm->setValue(parameters.framesToConfirm);
    ui.framesKeptUnmatched->setValue(parameters.framesKeptUnmatched);
    ui.minimumOverlap->setValue(parameters.minimumOverlap);
}

TrackParameters TracksDialog::parameters() const
{
    return TrackParameters{ui.framesToConfirm->value(), ui.framesKeptUnmatched->value(), ui.minimumOverlap->value()};
}
