#include "DlgType.h"

#include "FrmCamera.h"
#include "FrmPatmgr.h"
#include "Language.h"
#include "MsgBox.h"
#include "ui_DlgType.h"

#include <QCloseEvent>

DlgType::DlgType(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DlgType>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // The captions lie over the lower part of the button pictures; a click on a caption must
    // still choose the mode.
    ui->lbCAM->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui->lbPAT->setAttribute(Qt::WA_TransparentForMouseEvents);
    Language::instance()->translate(this);
}

DlgType::~DlgType() = default;

void DlgType::closeEvent(QCloseEvent* event)
{
    // Anything but a clear Yes keeps the program running.
    if (MsgBox::ask(this, QStringLiteral("msg_exit")))
        event->accept();
    else
        event->ignore();
}

void DlgType::on_bnCAM_clicked()
{
    // A quick second click arrives while the first window is being built: one choice, one window.
    if (!m_window)
        openModeWindow(new FrmCamera(this));
}

void DlgType::on_bnPAT_clicked()
{
    if (!m_window)
        openModeWindow(new FrmPatmgr(this));
}

void DlgType::openModeWindow(QWidget* window)
{
    // A top-level window of its own; it shows this dialog again when it closes.
    m_window = window;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    hide();
}
