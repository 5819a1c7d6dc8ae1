#include "DlgRemark.h"

#include "Language.h"
#include "ui_DlgRemark.h"

DlgRemark::DlgRemark(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DlgRemark>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Language::instance()->translate(this);

    connect(ui->bnOK, &QPushButton::clicked, this, &DlgRemark::onOK);
    connect(ui->bnCancel, &QPushButton::clicked, this, &DlgRemark::reject);
}

DlgRemark::~DlgRemark() = default;

void DlgRemark::setText(const QString& text)
{
    ui->text->setPlainText(text);
}

QString DlgRemark::text() const
{
    return ui->text->toPlainText();
}

void DlgRemark::onOK(bool)
{
    accept();
}
