#include "DlgExport.h"

#include "AppSettings.h"
#include "Database.h"
#include "ExamineId.h"
#include "Language.h"
#include "MsgBox.h"
#include "ReportClock.h"
#include "ReportPage.h"
#include "ui_DlgExport.h"

#include <QFile>
#include <QFileDialog>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>

namespace {
DlgExport::SaveFileAsker& saveFileAsker()
{
    static DlgExport::SaveFileAsker asker;
    return asker;
}

QString askSaveFileName(QWidget* parent, const QString& filter)
{
    if (saveFileAsker())
        return saveFileAsker()(parent, filter);
    return QFileDialog::getSaveFileName(parent, QString(), QString(), filter);
}

constexpr int PageResolution = 600;
} // namespace

DlgExport::DlgExport(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DlgExport>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // Lines the caption up with the first line of the findings editor.
    QMargins margins = ui->lbJCSJ->contentsMargins();
    margins.setTop(margins.top() + 4);
    ui->lbJCSJ->setContentsMargins(margins);
    ui->lbHospital->setText(AppSettings().value(QStringLiteral("Hospital/name"), QString()));
    Language::instance()->translate(this);

    connect(ui->bnPrint, &QPushButton::clicked, this, &DlgExport::onPrint);
    connect(ui->bnPreview, &QPushButton::clicked, this, &DlgExport::onPrintAsPDF);
    connect(ui->bnCancel, &QPushButton::clicked, this, &DlgExport::reject);
}

DlgExport::~DlgExport() = default;

void DlgExport::setSaveFileAsker(SaveFileAsker asker)
{
    saveFileAsker() = std::move(asker);
}

void DlgExport::setInfo(unsigned long long rowid, const QStringList& paths)
{
    if (Database* db = Database::instance()) {
        db->exec(QStringLiteral("SELECT * FROM user WHERE rowid=?"), { QVariant(rowid) }, this,
            [this](bool ok, DbResponser* response) { fillPatient(ok, response); });
    }
    showPictures(paths);
    m_paths = paths; // the page keeps unloadable entries in their slots
    ui->lvDate->setText(ReportClock::today().toString(QStringLiteral("yyyy/MM/dd")));
    ui->lvExam->setText(ExamineId::next());
}

void DlgExport::showPictures(const QStringList& paths)
{
    // Only pictures that load take a label, so an unreadable file leaves no gap.
    int shown = 0;
    for (const QString& path : paths) {
        const QPixmap picture(path);
        if (picture.isNull())
            continue;
        ++shown;
        if (auto* label = ui->wgPict2->findChild<QLabel*>(QString::asprintf("lbPict%d", shown)))
            label->setPixmap(picture);
    }
    for (int i = shown + 1;; ++i) {
        auto* label = ui->wgPict2->findChild<QLabel*>(QString::asprintf("lbPict%d", i));
        if (!label)
            break;
        label->hide();
    }
}

void DlgExport::fillPatient(bool ok, DbResponser* response)
{
    if (!ok || !response->next())
        return;
    ui->lvName->setText(response->value(QStringLiteral("fnam")).toString() + QLatin1Char(' ')
        + response->value(QStringLiteral("lnam")).toString());
    const bool male = response->value(QStringLiteral("sex")).toInt() == 0;
    ui->lvSexy->setText(Language::instance()->text(
        QStringLiteral("DlgPatinfo"), male ? QStringLiteral("rbMale") : QStringLiteral("rbFemale")));
    // Age in calendar years: month and day of the birthday do not count.
    const QDate birthday
        = QDate::fromString(response->value(QStringLiteral("bday")).toString(), QStringLiteral("yyyy/MM/dd"));
    ui->lvAge->setText(birthday.isValid()
            ? QString::asprintf("%d", ReportClock::today().year() - birthday.year())
            : QString());
}

bool DlgExport::validate()
{
    QWidget* missing = nullptr;
    if (ui->teJCSJ->toPlainText().isEmpty())
        missing = ui->teJCSJ;
    else if (!ui->leDoct->text().isEmpty())
        return true;
    else
        missing = ui->leDoct;
    MsgBox::warning(this, QStringLiteral("inp_null"));
    missing->setFocus();
    return false;
}

void DlgExport::doPrint(QPagedPaintDevice* device)
{
    if (!device)
        return;
    ReportPage page;
    page.font = ui->lbName->font();
    page.hospital = ui->lbHospital->text();
    page.department = ui->leDepart->text();
    page.date = { ui->lbDate->text(), ui->lvDate->text() };
    page.name = { ui->lbName->text(), ui->lvName->text() };
    page.sex = { ui->lbSexy->text(), ui->lvSexy->text() };
    page.admission = { ui->lbA_ID->text(), ui->leA_ID->text() };
    page.bed = { ui->lbBeid->text(), ui->leBeid->text() };
    page.diagnosis = { ui->lbDiag->text(), ui->leDiag->text() };
    page.age = { ui->lbAge->text(), ui->lvAge->text() };
    page.examId = { ui->lbExam->text(), ui->lvExam->text() };
    page.dept = { ui->lbDept->text(), ui->leDept->text() };
    page.examDevice = { ui->lbDevc->text(), ui->leDevc->text() };
    page.symptom = { ui->lbSymp->text(), ui->leSymp->text() };
    page.findingsCaption = ui->lbJCSJ->text();
    page.findings = ui->teJCSJ->toPlainText();
    page.pathology = { ui->lbBLZD->text(), ui->leBLZD->text() };
    page.placement = { ui->lbHJBW->text(), ui->leHJBW->text() };
    page.suggestions = { ui->lbSugg->text(), ui->leSugg->text() };
    page.doctor = { ui->lbDoct->text(), ui->leDoct->text() };
    page.pictures = m_paths;
    page.draw(device);
}

void DlgExport::onPrint(bool)
{
    if (!validate())
        return;
    QPrinter printer(QPrinter::ScreenResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The page set-up of the report replaces whatever was chosen in the dialog.
    printer.setResolution(PageResolution);
    doPrint(&printer);
}

void DlgExport::onPrintAsPDF(bool)
{
    if (!validate())
        return;
    const QString fileName = askSaveFileName(this, QStringLiteral("PDF Files (*.pdf)"));
    if (fileName.isEmpty())
        return;
    // The message names the file, so the operator sees which one could not be written.
    const auto notWritten = [this, &fileName] {
        MsgBox::warningText(this,
            Language::instance()->text(QStringLiteral("System"), QStringLiteral("not_found")).arg(fileName));
    };
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        notWritten();
        return;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(PageResolution);
        doPrint(&writer);
    }
    file.close();
    // A full disk or a vanished medium would otherwise leave a broken file without a word.
    if (file.error() != QFileDevice::NoError)
        notWritten();
}
