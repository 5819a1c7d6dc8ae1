#include "WorklistAdmission.h"

#include "Database.h"
#include "DateFormats.h"
#include "DicomUid.h"
#include "DlgPatinfo.h"
#include "FrmPatmgr.h"
#include "Language.h"
#include "MsgBox.h"

#include <QDate>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

namespace {

// One admission in progress; its statements' results come back to it, and it goes when the
// dialog is open (or with the parent window, when that closes first).
class Admission : public QObject
{
public:
    Admission(const WorklistItem& worklistItem, QWidget* parentWindow, Database* service)
        : QObject(parentWindow)
        , item(worklistItem)
        , parent(parentWindow)
        , db(service)
    { }

    void findPatient()
    {
        if (item.patientId.isEmpty()) {
            createPatient();
            return;
        }
        // The issuer tells two hospitals' equal IDs apart, where both sides know it.
        db->exec(
            QStringLiteral("SELECT p.uid FROM patient_ident p JOIN user u ON u.rowid=p.uid WHERE p.pid=? "
                           "AND (?='' OR IFNULL(p.issuer,'')='' OR p.issuer=?) ORDER BY p.uid LIMIT 1"),
            { item.patientId, item.issuerOfPatientId, item.issuerOfPatientId }, this,
            [this](bool ok, DbResponser* response) {
                if (ok && response->next())
                    findExam(response->value(0).toLongLong());
                else if (ok)
                    createPatient();
                else
                    fail();
            });
    }

private:
    void createPatient()
    {
        // A DICOM person name: Last^First^Middle^Prefix^Suffix.
        const QStringList parts = item.patientName.split(QLatin1Char('^'));
        QString first = parts.value(1);
        if (!parts.value(2).isEmpty())
            first += QLatin1Char(' ') + parts.value(2);
        // Unknown and other sexes keep the form's default, as a patient typed in would.
        const int sex = item.sex == QLatin1String("F") ? 1 : 0;
        // An unknown birthday stays blank: the form asks for it when the patient is edited.
        const QString birthday
            = item.birthDate.isValid() ? item.birthDate.toString(DateFormats::kDate) : QString();
        db->exec(QStringLiteral("INSERT INTO user (fnam,lnam,sex,bday) VALUES (?,?,?,?)"),
            { first.trimmed(), parts.value(0).trimmed(), sex, birthday }, this,
            [this](bool ok, DbResponser* response) {
                if (!ok) {
                    fail(response->error);
                    return;
                }
                const qlonglong patient = response->lastInsertId.toLongLong();
                if (!item.patientId.isEmpty()) {
                    db->exec(QStringLiteral(
                                 "INSERT OR REPLACE INTO patient_ident (uid,pid,issuer) VALUES (?,?,?)"),
                        { patient, item.patientId,
                            item.issuerOfPatientId.isEmpty() ? QVariant(QVariant::String)
                                                             : QVariant(item.issuerOfPatientId) },
                        nullptr, db_result());
                }
                findExam(patient);
            });
    }

    void findExam(qlonglong patient)
    {
        // Without a Study Instance UID from the worklist the examination gets its own.
        const QString study = item.studyInstanceUid.isEmpty() ? DicomUid::create() : item.studyInstanceUid;
        db->exec(QStringLiteral("INSERT OR IGNORE INTO exam (uid,day,study_uid,accession,procedure,source) "
                                "VALUES (?,?,?,?,?,'worklist')"),
            { patient, QDate::currentDate().toString(DateFormats::kDate), study, item.accessionNumber,
                item.procedure },
            nullptr, db_result());
        db->exec(QStringLiteral("SELECT rowid FROM exam WHERE study_uid=?"), { study }, this,
            [this, patient](bool ok, DbResponser* response) {
                if (ok && response->next())
                    openDialog(patient, response->value(0).toLongLong());
                else
                    fail(response->error);
            });
    }

    void openDialog(qlonglong patient, qlonglong exam)
    {
        for (QWidget* w = parent; w; w = w->parentWidget()) {
            if (auto* manager = qobject_cast<FrmPatmgr*>(w))
                manager->doQuery();
        }
        auto* dialog = new DlgPatinfo(parent);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setRowID(quint64(patient));
        dialog->setExam(exam);
        dialog->show();
        if (auto* newExam = dialog->findChild<QPushButton*>(QStringLiteral("bnNew"))) {
            newExam->setDefault(true);
            newExam->setFocus();
        }
        deleteLater();
    }

    void fail(const QString& reason = QString())
    {
        MsgBox::warningText(parent, Language::systemText("add_eror").arg(reason));
        deleteLater();
    }

    WorklistItem item;
    QWidget* parent;
    Database* db;
};

} // namespace

void WorklistAdmission::admit(const WorklistItem& item, QWidget* parent)
{
    Database* db = Database::instance();
    if (!db) {
        MsgBox::warning(parent, QStringLiteral("db_eror"));
        return;
    }
    (new Admission(item, parent, db))->findPatient();
}
