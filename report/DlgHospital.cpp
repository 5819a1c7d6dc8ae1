#include "DlgHospital.h"

#include "AppSettings.h"
#include "Language.h"
#include "MsgBox.h"
#include "ui_DlgHospital.h"

#include <QPushButton>

DlgHospital::DlgHospital(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DlgHospital>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->leName->setText(AppSettings().hospitalName());
    Language::instance()->translate(this);
    connect(ui->bnOK, &QPushButton::clicked, this, &DlgHospital::onOK);
    connect(ui->bnCancel, &QPushButton::clicked, this, &DlgHospital::reject);
}

DlgHospital::~DlgHospital() = default;

void DlgHospital::onOK()
{
    // An empty name would leave every report without a head, so it is never stored.
    const QString name = ui->leName->text();
    if (name.isEmpty()) {
        MsgBox::warning(this, QStringLiteral("inp_null"));
        ui->leName->setFocus();
        return;
    }
    AppSettings().setHospitalName(name);
    accept();
}
