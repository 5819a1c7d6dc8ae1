#include "DlgExport.h"

#include "AppSettings.h"
#include "Database.h"
#include "DateFormats.h"
#include "ExamineId.h"
#include "Language.h"
#include "MsgBox.h"
#include "ReportClock.h"
#include "ReportPage.h"
#include "ui_DlgExport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>

namespace {
DlgExport::SaveFileAsker& saveFileAsker()
{
    static DlgExport::SaveFileAsker asker;
    return asker;
}

QString askSaveFileName(QWidget* parent, const QString& suggested, const QString& filter)
{
    if (saveFileAsker())
        return saveFileAsker()(parent, suggested, filter);
    return QFileDialog::getSaveFileName(parent, QString(), suggested, filter);
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
    ui->lbHospital->setText(AppSettings().hospitalName());
    // Long names wrap instead of widening the form beyond the screen.
    ui->lbHospital->setWordWrap(true);
    ui->lvName->setWordWrap(true);
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
    // No output until the patient is known: the form's placeholders must never be printed
    // as a patient.
    ui->lvName->clear();
    ui->lvSexy->clear();
    ui->lvAge->clear();
    setOutputEnabled(false);
    if (Database* db = Database::instance()) {
        db->exec(QStringLiteral("SELECT * FROM user WHERE rowid=?"), { QVariant(rowid) }, this,
            [this](bool ok, DbResponser* response) { fillPatient(ok, response); });
    } else {
        MsgBox::warning(this, QStringLiteral("pat_eror"));
    }
    showPictures(paths);
    m_paths = paths; // the page keeps unloadable entries in their slots
    ui->lvDate->setText(ReportClock::today().toString(DateFormats::kDate));
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

void DlgExport::setOutputEnabled(bool enabled)
{
    m_patientKnown = enabled;
    ui->bnPrint->setEnabled(enabled);
    ui->bnPreview->setEnabled(enabled);
}

void DlgExport::fillPatient(bool ok, DbResponser* response)
{
    if (!ok || !response->next()) {
        MsgBox::warning(this, QStringLiteral("pat_eror"));
        return;
    }
    m_firstName = response->value(QStringLiteral("fnam")).toString();
    m_lastName = response->value(QStringLiteral("lnam")).toString();
    ui->lvName->setText(m_firstName + QLatin1Char(' ') + m_lastName);
    const bool male = response->value(QStringLiteral("sex")).toInt() == 0;
    ui->lvSexy->setText(Language::instance()->text(
        QStringLiteral("DlgPatinfo"), male ? QStringLiteral("rbMale") : QStringLiteral("rbFemale")));
    const QDate birthday
        = QDate::fromString(response->value(QStringLiteral("bday")).toString(), DateFormats::kDate);
    const int age = ageInYears(birthday, ReportClock::today());
    ui->lvAge->setText(age >= 0 ? QString::asprintf("%d", age) : QString());
    setOutputEnabled(true);
}

int DlgExport::ageInYears(const QDate& birthday, const QDate& today)
{
    if (!birthday.isValid() || birthday > today)
        return -1;
    int age = today.year() - birthday.year();
    // Full years: the year of life counts only from the birthday on.
    if (today.month() < birthday.month()
        || (today.month() == birthday.month() && today.day() < birthday.day()))
        --age;
    return age;
}

bool DlgExport::validate()
{
    if (!m_patientKnown)
        return false;
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

ReportPage DlgExport::pageFromForm() const
{
    const auto pair = [](const QLabel* caption, const QWidget* value, const QString& text) {
        return ReportPage::Field { caption ? caption->text() : QString(), text, value->objectName() };
    };
    ReportPage page;
    page.font = ui->lbName->font();
    page.hospital = pair(nullptr, ui->lbHospital, ui->lbHospital->text());
    page.department = pair(nullptr, ui->leDepart, ui->leDepart->text());
    page.date = pair(ui->lbDate, ui->lvDate, ui->lvDate->text());
    page.name = pair(ui->lbName, ui->lvName, ui->lvName->text());
    page.sex = pair(ui->lbSexy, ui->lvSexy, ui->lvSexy->text());
    page.admission = pair(ui->lbA_ID, ui->leA_ID, ui->leA_ID->text());
    page.bed = pair(ui->lbBeid, ui->leBeid, ui->leBeid->text());
    page.diagnosis = pair(ui->lbDiag, ui->leDiag, ui->leDiag->text());
    page.age = pair(ui->lbAge, ui->lvAge, ui->lvAge->text());
    page.examId = pair(ui->lbExam, ui->lvExam, ui->lvExam->text());
    page.dept = pair(ui->lbDept, ui->leDept, ui->leDept->text());
    page.examDevice = pair(ui->lbDevc, ui->leDevc, ui->leDevc->text());
    page.symptom = pair(ui->lbSymp, ui->leSymp, ui->leSymp->text());
    page.findings = pair(ui->lbJCSJ, ui->teJCSJ, ui->teJCSJ->toPlainText());
    page.pathology = pair(ui->lbBLZD, ui->leBLZD, ui->leBLZD->text());
    page.placement = pair(ui->lbHJBW, ui->leHJBW, ui->leHJBW->text());
    page.suggestions = pair(ui->lbSugg, ui->leSugg, ui->leSugg->text());
    page.doctor = pair(ui->lbDoct, ui->leDoct, ui->leDoct->text());
    page.pictures = m_paths;
    return page;
}

bool DlgExport::doPrint(QPagedPaintDevice* device)
{
    return pageFromForm().draw(device);
}

bool DlgExport::fitsOnePage()
{
    // Measured on a PDF page at the report's resolution before anything is printed or saved.
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    QPdfWriter probe(&sink);
    probe.setResolution(PageResolution);
    const ReportPage page = pageFromForm();
    const ReportPage::Field* tooLong = page.overflowingField(&probe);
    if (!tooLong)
        return true;
    reportTooLong(*tooLong);
    return false;
}

void DlgExport::reportTooLong(const ReportPage::Field& field)
{
    QString name = field.caption.trimmed();
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    if (field.source == ui->lbHospital->objectName())
        name = Language::instance()->text(QStringLiteral("DlgHospital"), QStringLiteral("DlgHospital"));
    if (name.isEmpty()) // the department line has no caption: its beginning names it
        name = QStringLiteral("\u201C") + field.value.left(30) + QStringLiteral("\u2026\u201D");
    MsgBox::warningText(this, Language::systemText("too_long").arg(name));
    if (auto* widget = findChild<QWidget*>(field.source); widget && widget->focusPolicy() != Qt::NoFocus)
        widget->setFocus();
}

void DlgExport::onPrint(bool)
{
    if (!validate() || !fitsOnePage())
        return;
    QPrinter printer(QPrinter::ScreenResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The page set-up of the report replaces whatever was chosen in the dialog.
    printer.setResolution(PageResolution);
    // The printer measured the texts differently from the check: nothing was printed.
    if (!doPrint(&printer)) {
        if (const ReportPage::Field* tooLong = pageFromForm().overflowingField(&printer))
            reportTooLong(*tooLong);
    }
}

QString DlgExport::suggestedPdfPath() const
{
    QString name = m_lastName + QLatin1Char('_') + m_firstName + QLatin1Char('_')
        + ReportClock::today().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".pdf");
    // Characters that cannot stand in a file name on common file systems.
    name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("-"));
    const QString folder = AppSettings().pdfFolder();
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

void DlgExport::onPrintAsPDF(bool)
{
    if (!validate() || !fitsOnePage())
        return;
    QString fileName = askSaveFileName(this, suggestedPdfPath(), QStringLiteral("PDF Files (*.pdf)"));
    if (fileName.isEmpty())
        return;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".pdf");
    AppSettings().setPdfFolder(QFileInfo(fileName).absolutePath());
    writePdf(fileName);
}

void DlgExport::writePdf(const QString& fileName)
{
    // The message names the file, so the operator sees which one could not be written.
    const auto notWritten
        = [this, &fileName] { MsgBox::warningText(this, Language::systemText("not_found").arg(fileName)); };
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        notWritten();
        return;
    }
    bool drawn = false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(PageResolution);
        drawn = doPrint(&writer);
    }
    file.close();
    if (!drawn) {
        // Measured as fitting but not placed on the real page: no half a report on disk.
        QFile::remove(fileName);
        if (fitsOnePage())
            notWritten();
        return;
    }
    // A full disk or a vanished medium would otherwise leave a broken file without a word;
    // a half-written report must not stay behind looking like a finished one.
    if (file.error() != QFileDevice::NoError) {
        if (QFileInfo(fileName).isFile())
            QFile::remove(fileName);
        notWritten();
    }
}
