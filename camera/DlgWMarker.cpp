#include "DlgWMarker.h"

#include "AppSettings.h"
#include "FileChooser.h"
#include "Language.h"
#include "ui_DlgWMarker.h"

namespace {
const QString kTypeKey = QStringLiteral("WMarker/type");
const QString kTextKey = QStringLiteral("WMarker/text");
const QString kPathKey = QStringLiteral("WMarker/path");
} // namespace

DlgWMarker::DlgWMarker(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DlgWMarker)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    {
        const AppSettings settings;
        // Any non-zero type is a picture watermark.
        if (settings.intValue(kTypeKey, QStringLiteral("0")) != 0)
            ui->rbPict->setChecked(true);
        else
            ui->rbText->setChecked(true);
        ui->leText->setText(settings.value(kTextKey, QString()));
        ui->lePict->setText(settings.value(kPathKey, QString()));
    }

    connect(ui->bnOK, &QPushButton::clicked, this, &DlgWMarker::onOK);
    connect(ui->bnPict, &QPushButton::clicked, this, &DlgWMarker::onPict);
    connect(ui->bnCancel, &QPushButton::clicked, this, &DlgWMarker::onCancel);
    Language::instance()->translate(this);
}

DlgWMarker::~DlgWMarker()
{
    delete ui;
}

void DlgWMarker::onOK(bool)
{
    {
        AppSettings settings;
        settings.setValue(kTypeKey, ui->rbText->isChecked() ? QStringLiteral("0") : QStringLiteral("1"));
        settings.setValue(kTextKey, ui->leText->text());
        settings.setValue(kPathKey, ui->lePict->text());
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
