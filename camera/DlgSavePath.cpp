#include "DlgSavePath.h"

#include "AppSettings.h"
#include "FileChooser.h"
#include "Language.h"
#include "ui_DlgSavePath.h"

#include <QDir>

namespace {
const QString kPathKey = QStringLiteral("SavePath/path");
}

DlgSavePath::DlgSavePath(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DlgSavePath)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui->lePath->setText(AppSettings().value(kPathKey, QString()));
    // The field is filled only through "...": it must not look like a field to type in.
    QPalette palette = ui->lePath->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    ui->lePath->setPalette(palette);

    connect(ui->bnOK, &QPushButton::clicked, this, &DlgSavePath::onOK);
    connect(ui->bnMore, &QPushButton::clicked, this, &DlgSavePath::onMore);
    connect(ui->bnCancel, &QPushButton::clicked, this, &DlgSavePath::onCancel);
    Language::instance()->translate(this);
}

DlgSavePath::~DlgSavePath()
{
    delete ui;
}

void DlgSavePath::onOK(bool)
{
    AppSettings().setValue(kPathKey, ui->lePath->text());
    accept();
}

void DlgSavePath::onMore(bool)
{
    QString start = AppSettings().value(kPathKey, QString());
    if (start.isEmpty())
        start = QDir::currentPath();
    QString folder = FileChooser::folder(
        this, windowTitle(), start, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    // A cancelled chooser keeps the folder that was there.
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    ui->lePath->setText(folder);
}

void DlgSavePath::onCancel(bool)
{
    reject();
}
