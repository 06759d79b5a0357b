#include "sizebanddialog.h"

#include <QMessageBox>
#include <QPushButton>

SizeBandDialog::SizeBandDialog(const SizeBand &band, QWidget *parent)
    : QDialog(parent)
{
    ui.setupUi(this);
    ui.lowerArea->setValue(band.lower);
    ui.upperArea->setValue(band.upper);
    connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &SizeBandDialog::accept);
    connect(ui.buttonBox->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this, [this] {
        ui.lowerArea->setValue(SizeBand().lower);
        ui.upperArea->setValue(SizeBand().upper);
    });
}

SizeBand SizeBandDialog::band() const
{
    return SizeBand{ui.lowerArea->value(), ui.upperArea->value()};
}

void SizeBandDialog::accept()
{
    if (!band().admitsSomething()) {
        QMessageBox::warning(this, windowTitle(),
                             tr("No object can be both larger than %1 px and smaller than %2 px. "
                                "Make the lower area smaller than the upper one.")
                                 .arg(band().lower)
                                 .arg(band().upper));
        return;
    }
    QDialog::accept();
}
