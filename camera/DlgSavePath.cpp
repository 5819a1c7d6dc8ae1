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
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    // A cancelled chooser empties the field, which stands for the default capture folder.
    ui->lePath->setText(folder);
}

void DlgSavePath::onCancel(bool)
{
    reject();
}
