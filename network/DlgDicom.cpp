#include "DlgDicom.h"

#include "AeTitle.h"
#include "AppSettings.h"
#include "DicomReason.h"
#include "Language.h"
#include "MsgBox.h"
#include "ServerCheck.h"
#include "ui_DlgDicom.h"

#include <QLayout>
#include <QPushButton>

#include <algorithm>

namespace {

// The modality codes in the order of the combo box's entries; the first is the default.
const QStringList kModalities { QStringLiteral("ES"), QStringLiteral("XC"), QStringLiteral("GM"),
    QStringLiteral("OT") };

QString plain(const QString& text)
{
    QString t = text;
    t.remove(QLatin1Char('&'));
    while (t.endsWith(QLatin1Char(':')))
        t.chop(1);
    return t.trimmed();
}

// "Archive (PACS) – AE title": the same label stands in every group, so the group says which.
QString fieldName(QLabel* label, QGroupBox* group)
{
    return plain(group->title()) + QStringLiteral(" \u2013 ") + plain(label->text());
}

} // namespace

DlgDicom::DlgDicom(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DlgDicom>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_archive = { ui->gbArc, ui->lbArcAet, ui->leArcAet, ui->lbArcHost, ui->leArcHost, ui->lbArcPort,
        ui->leArcPort, ui->bnArcTest, ui->lbArcResult, new ServerCheck(this), {}, {}, 0 };
    m_worklist = { ui->gbWl, ui->lbWlAet, ui->leWlAet, ui->lbWlHost, ui->leWlHost, ui->lbWlPort, ui->leWlPort,
        ui->bnWlTest, ui->lbWlResult, new ServerCheck(this), {}, {}, 0 };
    Language::instance()->translate(this);
    // The wording rule leaves check boxes alone, so this one takes its text itself.
    const QString autoSend
        = Language::instance()->text(QStringLiteral("DlgDicom"), QStringLiteral("cbAutoSend"));
    if (!autoSend.isEmpty())
        ui->cbAutoSend->setText(autoSend);
    load();
    alignLabels();

    connect(ui->bnOK, &QPushButton::clicked, this, &DlgDicom::onOK);
    connect(ui->bnCancel, &QPushButton::clicked, this, &DlgDicom::reject);
    for (Server* server : { &m_archive, &m_worklist }) {
        connect(server->test, &QPushButton::clicked, this, [this, server] { onTest(*server); });
        connect(server->check, &ServerCheck::finished, this,
            [this, server](const DicomStatus& status) { showResult(*server, status); });
    }
}

DlgDicom::~DlgDicom() = default;

void DlgDicom::load()
{
    const AppSettings settings;
    ui->leStaAet->setText(settings.dicomStationAeTitle());
    ui->leStaName->setText(settings.dicomStationName());
    ui->cbModality->setCurrentIndex(std::max(0, int(kModalities.indexOf(settings.dicomModality()))));
    ui->cbAutoSend->setChecked(settings.autoSendToArchive());
    ui->leArcAet->setText(settings.archiveAeTitle());
    ui->leArcHost->setText(settings.archiveHost());
    ui->leArcPort->setText(QString::number(settings.archivePort()));
    ui->leWlAet->setText(settings.worklistAeTitle());
    ui->leWlHost->setText(settings.worklistHost());
    ui->leWlPort->setText(QString::number(settings.worklistPort()));
}

void DlgDicom::alignLabels()
{
    // The three groups have layouts of their own; equal label widths line their fields up.
    const QList<QLabel*> labels { ui->lbStaAet, ui->lbStaName, ui->lbModality, ui->lbArcAet, ui->lbArcHost,
        ui->lbWlAet, ui->lbWlHost };
    int width = 0;
    for (QLabel* label : labels)
        width = std::max(width, label->sizeHint().width());
    for (QLabel* label : labels)
        label->setMinimumWidth(width);
}

void DlgDicom::refuse(QLineEdit* edit, const char* key, QLabel* label, QGroupBox* group)
{
    MsgBox::warningText(this, Language::systemText(key).arg(fieldName(label, group)));
    edit->setFocus();
    edit->selectAll();
}

bool DlgDicom::checkAeTitle(QLineEdit* edit, QLabel* label, QGroupBox* group)
{
    if (AeTitle::isValid(edit->text()))
        return true;
    refuse(edit, "dcm_aet_bad", label, group);
    return false;
}

bool DlgDicom::checkPort(const Server& server)
{
    bool number = false;
    const int port = server.port->text().trimmed().toInt(&number);
    if (number && port >= 1 && port <= 65535)
        return true;
    refuse(server.port, "dcm_port_bad", server.portLabel, server.group);
    return false;
}

bool DlgDicom::checkServer(const Server& server)
{
    // A server left entirely blank is simply not used; one begun must be complete enough to call.
    if (server.aeTitle->text().trimmed().isEmpty() && server.host->text().trimmed().isEmpty())
        return checkPort(server);
    return checkAeTitle(server.aeTitle, server.aeLabel, server.group) && checkPort(server);
}

void DlgDicom::onOK()
{
    if (!checkAeTitle(ui->leStaAet, ui->lbStaAet, ui->gbSta) || !checkServer(m_archive)
        || !checkServer(m_worklist))
        return;
    AppSettings settings;
    settings.setDicomStationAeTitle(AeTitle::normalized(ui->leStaAet->text()));
    settings.setDicomStationName(ui->leStaName->text().trimmed());
    settings.setDicomModality(kModalities.value(ui->cbModality->currentIndex(), kModalities.first()));
    settings.setAutoSendToArchive(ui->cbAutoSend->isChecked());
    settings.setArchiveAeTitle(AeTitle::normalized(ui->leArcAet->text()));
    settings.setArchiveHost(ui->leArcHost->text().trimmed());
    settings.setArchivePort(ui->leArcPort->text().trimmed().toInt());
    settings.setWorklistAeTitle(AeTitle::normalized(ui->leWlAet->text()));
    settings.setWorklistHost(ui->leWlHost->text().trimmed());
    settings.setWorklistPort(ui->leWlPort->text().trimmed().toInt());
    accept();
}

void DlgDicom::onTest(Server& server)
{
    // The values as typed now, not as stored: testing comes before OK.
    if (!checkAeTitle(ui->leStaAet, ui->lbStaAet, ui->gbSta)
        || !checkAeTitle(server.aeTitle, server.aeLabel, server.group))
        return;
    if (server.host->text().trimmed().isEmpty()) {
        refuse(server.host, "dcm_host_none", server.hostLabel, server.group);
        return;
    }
    if (!checkPort(server))
        return;
    server.calling = AeTitle::normalized(ui->leStaAet->text());
    server.node = { AeTitle::normalized(server.aeTitle->text()), server.host->text().trimmed(),
        quint16(server.port->text().trimmed().toInt()) };
    server.timeoutSeconds = AppSettings().dicomTimeoutSeconds();
    server.test->setEnabled(false);
    server.result->setStyleSheet(QString());
    server.result->setText(Language::systemText("dcm_testing"));
    server.check->start(server.calling, server.node, server.timeoutSeconds);
}

void DlgDicom::showResult(Server& server, const DicomStatus& status)
{
    server.test->setEnabled(true);
    server.result->setStyleSheet(
        status.ok() ? QStringLiteral("color: #1b7a1b;") : QStringLiteral("color: #b00020;"));
    const QString reason = DicomReason::text(status, server.calling, server.node, server.timeoutSeconds);
    server.result->setText(status.ok() ? reason : Language::systemText("dcm_notcon").arg(reason));
    server.result->setToolTip(status.detail);
    growToFit(server.result);
}

void DlgDicom::growToFit(QLabel* label)
{
    // A reason takes several lines. The label asks for all of them at its present width, and
    // the dialog grows to show them rather than cut them.
    label->setMinimumHeight(label->heightForWidth(label->width()));
    layout()->activate();
    const int needed = layout()->totalMinimumSize().height();
    if (needed > height())
        resize(width(), needed);
}
