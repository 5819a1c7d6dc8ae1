#include "DlgWMarker.h"

#include "AppSettings.h"
#include "FileChooser.h"
#include "Language.h"
#include "ui_DlgWMarker.h"

DlgWMarker::DlgWMarker(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DlgWMarker>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    {
        const AppSettings settings;
        if (settings.isTextWatermark())
            ui->rbText->setChecked(true);
        else
            ui->rbPict->setChecked(true);
        ui->leText->setText(settings.watermarkText());
        ui->lePict->setText(settings.watermarkPicture());
    }

    connect(ui->bnOK, &QPushButton::clicked, this, &DlgWMarker::onOK);
    connect(ui->bnPict, &QPushButton::clicked, this, &DlgWMarker::onPict);
    connect(ui->bnCancel, &QPushButton::clicked, this, &DlgWMarker::onCancel);
    Language::instance()->translate(this);
}

DlgWMarker::~DlgWMarker() = default;

void DlgWMarker::onOK(bool)
{
    {
        AppSettings settings;
        settings.setTextWatermark(ui->rbText->isChecked());
        settings.setWatermarkText(ui->leText->text());
        settings.setWatermarkPicture(ui->lePict->text());
    }
    accept();
}

void DlgWMarker::onPict(bool)
{
    const QString file
        = FileChooser::openFile(this, QString(), QString(), tr("Image Files (*.png *.jpg *.bmp)"));
    if (!file.isEmpty())
        ui->lePict->setText(file);
}

void DlgWMarker::onCancel(bool)
{
    reject();
}
