#ifndef TRACKSDIALOG_H
#define TRACKSDIALOG_H

#include "trackparameters.h"
#include "ui_tracksdialog.h"

#include <QDialog>

// Asks how the identities of moving objects are followed: the frames a track needs
// to be shown, the frames it is kept without a match, and the overlap that matches.
class TracksDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TracksDialog(const TrackParameters &parameters, QWidget *parent = nullptr);

    TrackParameters parameters() const;

private:
    void fill(const TrackParameters &parameters);

    Ui::TracksDialog ui;
};

#endif // TRACKSDIALOG_H
