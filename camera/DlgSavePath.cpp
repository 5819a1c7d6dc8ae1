#include "DlgSavePath.h"

#include "AppSettings.h"
#include "FileChooser.h"
#include "Language.h"
#include "ui_DlgSavePath.h"

#include <QDir>

DlgSavePath::DlgSavePath(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DlgSavePath>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui->lePath->setText(AppSettings().savePath());
    // The field is filled only through "...": it must not look like a field to type in.
    QPalette palette = ui->lePath->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    ui->lePath->setPalette(palette);

    connect(ui->bnOK, &QPushButton::clicked, this, &DlgSavePath::onOK);
    connect(ui->bnMore, &QPushButton::clicked, this, &DlgSavePath::onMore);
    connect(ui->bnCancel, &QPushButton::clicked, this, &DlgSavePath::onCancel);
    Language::instance()->translate(this);
}

DlgSavePath::~DlgSavePath() = default;

void DlgSavePath::onOK(bool)
{
    AppSettings().setSavePath(ui->lePath->text());
    accept();
}

void DlgSavePath::onMore(bool)
{
    QString start = AppSettings().savePath();
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
