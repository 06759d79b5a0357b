#ifndef SIZEBANDDIALOG_H
#define SIZEBANDDIALOG_H

#include "sizeband.h"
#include "ui_sizebanddialog.h"

#include <QDialog>

// Asks for the lower and upper hull area of the objects the automatic recognition
// boxes. A band that admits nothing is refused with a message, and the dialog stays.
class SizeBandDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SizeBandDialog(const SizeBand &band, QWidget *parent = nullptr);

    SizeBand band() const;

    void accept() override;

private:
    Ui::SizeBandDialog ui;
};

#endif // SIZEBANDDIALOG_H
