#include "DlgBtnMgr.h"

#include "AppSettings.h"
#include "Language.h"
#include "ui_DlgBtnMgr.h"

namespace {
const QString kBtn1Key = QStringLiteral("BtnMgr/btn1");
const QString kBtn2Key = QStringLiteral("BtnMgr/btn2");
} // namespace

DlgBtnMgr::DlgBtnMgr(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DlgBtnMgr)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    {
        const AppSettings settings;
        // A stored command outside the list shows as no selection (row -1), not a wrong one.
        ui->cbBtn1->setCurrentIndex(settings.intValue(kBtn1Key, QStringLiteral("0")));
        ui->cbBtn2->setCurrentIndex(settings.intValue(kBtn2Key, QStringLiteral("1")));
    }

    connect(ui->bnOK, &QPushButton::clicked, this, &DlgBtnMgr::onOK);
    connect(ui->bnCancel, &QPushButton::clicked, this, &DlgBtnMgr::onCancel);
    Language::instance()->translate(this);
}

DlgBtnMgr::~DlgBtnMgr()
{
    delete ui;
}

void DlgBtnMgr::onOK(bool)
{
    {
        AppSettings settings;
        settings.setValue(kBtn1Key, QString::number(ui->cbBtn1->currentIndex()));
        settings.setValue(kBtn2Key, QString::number(ui->cbBtn2->currentIndex()));
    }
    accept();
}

void DlgBtnMgr::onCancel(bool)
{
    reject();
}
