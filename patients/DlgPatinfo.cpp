#include "DlgPatinfo.h"

#include "AppSettings.h"
#include "ArchiveQueue.h"
#include "BlankDateEdit.h"
#include "CaptureNames.h"
#include "Database.h"
#include "DateFormats.h"
#include "DesktopOpener.h"
#include "DicomUid.h"
#include "DlgExport.h"
#include "DlgRemark.h"
#include "FrmCamera.h"
#include "FrmPatmgr.h"
#include "Language.h"
#include "MsgBox.h"
#include "RecordThumbnail.h"
#include "ui_DlgPatinfo.h"

#include <QCursor>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>

namespace {
const int recordRowHeight = 27;

// Row ids travel as signed 64-bit values: SQLite's driver binds only those as integers, and
// no rowid SQLite hands out comes near the sign bit.
QVariant boundId(unsigned long long id)
{
    return QVariant(qlonglong(id));
}

QLabel* makeLabel(const QString& text, Qt::Alignment alignment, int margin = 0)
{
    auto* label = new QLabel(text);
    // Names, dates and remarks are shown exactly as stored, never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment);
    label->setMargin(margin);
    return label;
}
} // namespace

DlgPatinfo::DlgPatinfo(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DlgPatinfo>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // Without a blank birthday every new patient would silently be born on the edit's
    // default date.
    birthday = new BlankDateEdit(ui->deBirthday);

    setReadOnly(false);
    ui->bnModify->setEnabled(false);
    ui->tabWidget->setTabEnabled(1, false);

    ui->list->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->list->setColumnWidth(0, 48);
    ui->list->setColumnWidth(1, 200);
    ui->list->setColumnWidth(2, 135);
    ui->list->setColumnWidth(3, 250);

    popup = new QMenu(ui->list);
    popup->setObjectName(QStringLiteral("mPopup"));
    QAction* deleteAction = popup->addAction(QStringLiteral("Delete"));
    deleteAction->setObjectName(QStringLiteral("mDelete"));
    QAction* sendAction = popup->addAction(QStringLiteral("Send to Archive"));
    sendAction->setObjectName(QStringLiteral("mSend"));

    Language::instance()->translate(this);

    connect(deleteAction, &QAction::triggered, this, &DlgPatinfo::onDelete);
    connect(sendAction, &QAction::triggered, this, &DlgPatinfo::onSendToArchive);
    connect(ArchiveQueue::instance(), &ArchiveQueue::statesChanged, this, &DlgPatinfo::onStatesChanged);
    connect(ui->list, &QTableWidget::cellDoubleClicked, this, &DlgPatinfo::onListDoubleClicked);
    connect(ui->list, &QWidget::customContextMenuRequested, this, &DlgPatinfo::onListMenu);
    connect(ui->bnOK, &QPushButton::clicked, this, &DlgPatinfo::onOK);
    connect(ui->bnNew, &QPushButton::clicked, this, &DlgPatinfo::onNew);
    connect(ui->bnCancel, &QPushButton::clicked, this, &DlgPatinfo::onCancel);
    connect(ui->bnModify, &QPushButton::clicked, this, &DlgPatinfo::onModify);
}

DlgPatinfo::~DlgPatinfo()
{
    // An open camera window goes with this dialog: its end is no examination end to act on.
    for (FrmCamera* camera : findChildren<FrmCamera*>())
        disconnect(camera, nullptr, this, nullptr);
    delete popup;
}

bool DlgPatinfo::post(const QString& sql, const QVariantList& binds, const db_result& callback)
{
    Database* database = Database::instance();
    if (!database)
        return false;
    database->exec(sql, binds, this, callback, false);
    return true;
}

void DlgPatinfo::setReadOnly(bool ro)
{
    ui->leFName->setReadOnly(ro);
    ui->leLName->setReadOnly(ro);
    ui->deBirthday->setReadOnly(ro);
    ui->leStreet->setReadOnly(ro);
    ui->lePostCode->setReadOnly(ro);
    ui->leArea->setReadOnly(ro);
    ui->leCountry->setReadOnly(ro);
    ui->teRmrk->setReadOnly(ro);
    ui->lePid->setReadOnly(ro);
    ui->gbSex->setEnabled(!ro);
}

void DlgPatinfo::setRowID(unsigned long long rowid)
{
    rowID = rowid;
    setReadOnly(true);
    ui->bnOK->setEnabled(false);
    ui->bnCancel->setEnabled(false);
    ui->bnModify->setEnabled(true);
    ui->tabWidget->setTabEnabled(1, true);
    ui->tabWidget->setCurrentIndex(1);

    post(QStringLiteral("SELECT u.*,p.pid FROM user u LEFT JOIN patient_ident p ON p.uid=u.rowid "
                        "WHERE u.rowid=?"),
        { boundId(rowid) }, [this](bool ok, DbResponser* response) {
            if (ok && response->next())
                showPatient(response);
        });
}

void DlgPatinfo::showPatient(DbResponser* response)
{
    ui->leFName->setText(response->value(QStringLiteral("fnam")).toString());
    ui->leLName->setText(response->value(QStringLiteral("lnam")).toString());
    if (response->value(QStringLiteral("sex")).toInt() != 0)
        ui->rbFemale->setChecked(true);
    else
        ui->rbMale->setChecked(true);
    // An unreadable stored date shows blank, never the date another patient left in the edit.
    birthday->setDate(
        QDate::fromString(response->value(QStringLiteral("bday")).toString(), DateFormats::kDate));
    ui->leStreet->setText(response->value(QStringLiteral("strt")).toString());
    ui->lePostCode->setText(response->value(QStringLiteral("pcod")).toString());
    ui->leArea->setText(response->value(QStringLiteral("area")).toString());
    ui->leCountry->setText(response->value(QStringLiteral("ctry")).toString());
    ui->teRmrk->document()->setPlainText(response->value(QStringLiteral("rmrk")).toString());
    ui->lePid->setText(response->value(QStringLiteral("pid")).toString());
    load();
}

void DlgPatinfo::onModify(bool)
{
    setReadOnly(false);
    ui->bnOK->setEnabled(true);
    ui->bnCancel->setEnabled(true);
    ui->bnModify->setEnabled(false);
}

void DlgPatinfo::onCancel(bool)
{
    if (rowID == 0) {
        close();
        return;
    }
    setRowID(rowID);
    setReadOnly(true);
    ui->tabWidget->setCurrentIndex(0);
    ui->bnModify->setEnabled(true);
}

void DlgPatinfo::onOK(bool)
{
    QWidget* missing = nullptr;
    if (ui->leFName->text().isEmpty())
        missing = ui->leFName;
    else if (ui->leLName->text().isEmpty())
        missing = ui->leLName;
    else if (birthday->isBlank())
        missing = ui->deBirthday;
    if (missing) {
        MsgBox::warning(this, QStringLiteral("inp_null"));
        missing->setFocus();
        return;
    }
    if (ui->deBirthday->date() > QDate::currentDate()) {
        MsgBox::warning(this, QStringLiteral("bday_late"));
        ui->deBirthday->setFocus();
        return;
    }

    QStringList columns { QStringLiteral("fnam"), QStringLiteral("lnam"), QStringLiteral("sex"),
        QStringLiteral("bday") };
    QVariantList values { ui->leFName->text(), ui->leLName->text(), ui->rbMale->isChecked() ? 0 : 1,
        ui->deBirthday->date().toString(DateFormats::kDate) };
    // An insert leaves empty optional fields out (they stay NULL); an update writes them as
    // NULL, so that a wrong address or remark can be removed.
    const auto optional = [&](const char* column, const QString& text) {
        if (text.isEmpty() && rowID == 0)
            return;
        columns << QLatin1String(column);
        values << (text.isEmpty() ? QVariant(QVariant::String) : QVariant(text));
    };
    optional("ctry", ui->leCountry->text());
    optional("area", ui->leArea->text());
    optional("strt", ui->leStreet->text());
    optional("pcod", ui->lePostCode->text());
    optional("rmrk", ui->teRmrk->toPlainText());

    QString sql;
    if (rowID == 0) {
        QString marks = QStringLiteral("?,").repeated(columns.size());
        marks.chop(1);
        sql = QLatin1String("INSERT INTO user (") + columns.join(QLatin1Char(','))
            + QLatin1String(") VALUES (") + marks + QLatin1Char(')');
    } else {
        for (QString& column : columns)
            column += QLatin1String("=?");
        sql = QLatin1String("UPDATE user SET ") + columns.join(QLatin1Char(','))
            + QLatin1String(" WHERE rowid=?");
        values << boundId(rowID);
    }

    const QString pid = ui->lePid->text().trimmed();
    const bool posted = post(sql, values, [this, pid](bool ok, DbResponser* response) {
        if (ok) {
            savePatientId(rowID != 0 ? rowID : response->lastInsertId.toULongLong(), pid);
            saved();
        } else
            MsgBox::warningText(this, Language::systemText("add_eror").arg(response->error));
    });
    if (!posted)
        MsgBox::warning(this, QStringLiteral("db_eror"));
}

void DlgPatinfo::savePatientId(unsigned long long patient, const QString& pid)
{
    if (patient == 0)
        return;
    if (pid.isEmpty()) {
        post(QStringLiteral("DELETE FROM patient_ident WHERE uid=?"), { boundId(patient) }, db_result());
        return;
    }
    // The issuer (from the worklist) belongs to that ID only: a changed ID loses it.
    post(QStringLiteral("INSERT OR REPLACE INTO patient_ident (uid,pid,issuer) VALUES "
                        "(?,?,(SELECT issuer FROM patient_ident WHERE uid=? AND pid=?))"),
        { boundId(patient), pid, boundId(patient), pid }, db_result());
}

void DlgPatinfo::saved()
{
    if (auto* manager = qobject_cast<FrmPatmgr*>(parentWidget()))
        manager->doQuery();

    if (rowID != 0) {
        setRowID(rowID);
        ui->tabWidget->setCurrentIndex(0);
        return;
    }
    post(QStringLiteral("SELECT MAX(rowid) FROM user"), {}, [this](bool ok, DbResponser* response) {
        if (ok && response->next()) {
            setRowID(response->value(0).toULongLong());
            ui->tabWidget->setCurrentIndex(0);
        }
    });
}

void DlgPatinfo::onNew(bool)
{
    QStringList pictures;
    for (int row = 0; row < ui->list->rowCount(); ++row) {
        const QWidget* cell = ui->list->cellWidget(row, 0);
        if (!cell)
            continue;
        const QString path = cell->property("path").toString();
        if (RecordThumbnail::isPicture(path))
            pictures << path;
    }

    // Captures belong to an examination: the worklist's when the patient came from there,
    // otherwise this patient's examination of today, made on the first one.
    if (examID == 0)
        findLocalExam(QDate::currentDate().toString(DateFormats::kDate));

    auto* camera = new FrmCamera(this);
    camera->enterExamination(ui->leFName->text() + ui->leLName->text(), pictures);
    camera->setAttribute(Qt::WA_DeleteOnClose);
    camera->setWindowModality(Qt::ApplicationModal);
    connect(camera, &FrmCamera::snap, this, &DlgPatinfo::onSnap);
    connect(camera, &FrmCamera::record, this, &DlgPatinfo::onRecord);
    connect(camera, &FrmCamera::report, this, &DlgPatinfo::onReport);
    connect(camera, &QObject::destroyed, this, &DlgPatinfo::onExaminationEnded);
    camera->show();
}

// ---- examination records list ----

void DlgPatinfo::load()
{
    post(QStringLiteral("SELECT r.rowid,r.fil,r.dtm,r.rmk,d.state,d.error FROM recd r "
                        "LEFT JOIN recd_dicom d ON d.rid=r.rowid WHERE r.uid=? ORDER BY r.rowid"),
        { boundId(rowID) }, [this](bool ok, DbResponser* response) {
            if (ok)
                showRecords(response);
        });
    // OK and Cancel belong to editing: a capture filed while the patient is being edited
    // must not take away the only ways to save or drop those edits.
    if (ui->leFName->isReadOnly()) {
        ui->bnOK->setEnabled(false);
        ui->bnCancel->setEnabled(false);
    }
}

void DlgPatinfo::showRecords(DbResponser* response)
{
    ui->list->setUpdatesEnabled(false);
    ui->list->setRowCount(0);
    // All rows at once: a view re-places every cell widget each time rows are inserted.
    ui->list->setRowCount(response->rows.size());
    for (int row = 0; response->next(); ++row) {
        showRecord(row, response->value(QStringLiteral("rowid")).toULongLong(),
            response->value(QStringLiteral("fil")).toString(),
            response->value(QStringLiteral("dtm")).toString(),
            response->value(QStringLiteral("rmk")).toString());
        showState(row, response->value(QStringLiteral("state")).toString(),
            response->value(QStringLiteral("error")).toString());
    }
    ui->list->setUpdatesEnabled(true);
    emit recordsLoaded();
}

void DlgPatinfo::showRecord(
    int row, unsigned long long id, const QString& path, const QString& date, const QString& remark)
{
    ui->list->setRowHeight(row, recordRowHeight);

    auto* thumbnail = new QLabel;
    thumbnail->setMargin(1);
    thumbnail->setAlignment(Qt::AlignCenter);
    thumbnail->setPixmap(
        RecordThumbnail::isPicture(path) ? RecordThumbnail::picture(path) : RecordThumbnail::video(path));
    thumbnail->setProperty("id", QVariant::fromValue<qulonglong>(id));
    thumbnail->setProperty("path", path);

    ui->list->setCellWidget(row, 0, thumbnail);
    ui->list->setCellWidget(row, 1, makeLabel(QFileInfo(path).fileName(), Qt::AlignLeft | Qt::AlignVCenter));
    ui->list->setCellWidget(row, 2, makeLabel(date, Qt::AlignCenter));
    ui->list->setCellWidget(row, 3, makeLabel(remark, Qt::AlignLeft | Qt::AlignBaseline, 1));
}

void DlgPatinfo::showState(int row, const QString& state, const QString& error)
{
    QString text;
    if (state == QLatin1String("sent"))
        text = Language::systemText("arc_sent");
    else if (state == QLatin1String("waiting"))
        text = Language::systemText("arc_wait");
    else if (state == QLatin1String("failed"))
        text = Language::systemText("arc_fail");
    QLabel* label = makeLabel(text, Qt::AlignCenter);
    label->setObjectName(QStringLiteral("state"));
    label->setProperty("state", state);
    // A waiting record may carry the reason of its last attempt (the archive did not answer).
    if (!error.isEmpty() && state != QLatin1String("sent"))
        label->setToolTip(error);
    ui->list->setCellWidget(row, 4, label);
}

QLabel* DlgPatinfo::cellLabel(int row, int column) const
{
    return qobject_cast<QLabel*>(ui->list->cellWidget(row, column));
}

int DlgPatinfo::rowOfRecord(unsigned long long id) const
{
    for (int row = 0; row < ui->list->rowCount(); ++row) {
        const QLabel* thumbnail = cellLabel(row, 0);
        if (thumbnail && thumbnail->property("id").toULongLong() == id)
            return row;
    }
    return -1;
}

void DlgPatinfo::addList(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        return;
    // Some file systems keep no creation time; the last change is the closest stand-in and
    // keeps the record dated (and findable by its examination date).
    QDateTime created = file.birthTime();
    if (!created.isValid())
        created = file.lastModified();
    post(QStringLiteral("INSERT INTO recd (uid,fil,dtm) VALUES (?,?,?)"),
        { boundId(rowID), path, created.toString(DateFormats::kDateTime) },
        [this, path](bool ok, DbResponser* response) {
            // A capture that is not filed would be missing from the patient's records without
            // a word; the file itself stays where it was written.
            if (ok) {
                if (examID != 0) {
                    post(QStringLiteral("INSERT OR IGNORE INTO recd_dicom (rid,exam) VALUES (?,?)"),
                        { response->lastInsertId, examID }, db_result());
                }
                load();
            } else
                MsgBox::warningText(this, Language::systemText("rec_eror").arg(path, response->error));
        });
}

void DlgPatinfo::onSnap(QString path)
{
    const QFileInfo file(path);
    if (file.isFile())
        addList(file.absoluteFilePath());
}

void DlgPatinfo::onRecord(QStringList paths)
{
    for (const QString& path : qAsConst(paths))
        onSnap(path);
}

void DlgPatinfo::onReport(QStringList paths)
{
    if (paths.isEmpty())
        return;
    DlgExport report(this);
    report.setInfo(rowID, paths);
    report.exec();
}

void DlgPatinfo::onListMenu(QPoint)
{
    if (ui->list->currentRow() >= 0)
        popup->popup(QCursor::pos());
}

void DlgPatinfo::onDelete(bool)
{
    const int row = ui->list->currentRow();
    const QLabel* thumbnail = row >= 0 ? cellLabel(row, 0) : nullptr;
    if (!thumbnail)
        return;
    const unsigned long long id = thumbnail->property("id").toULongLong();
    if (id == 0)
        return;
    const QString path = thumbnail->property("path").toString();
    if (!MsgBox::askText(this, Language::systemText("del_record").arg(QFileInfo(path).fileName())))
        return;

    post(QStringLiteral("DELETE FROM recd_dicom WHERE rid=?"), { boundId(id) }, db_result());
    post(QStringLiteral("DELETE FROM recd WHERE rowid=?"), { boundId(id) },
        [this, id, path](bool ok, DbResponser*) {
            if (!ok)
                return;
            // The row is looked up again: a reload may have rebuilt the list meanwhile.
            const int at = rowOfRecord(id);
            if (at >= 0)
                ui->list->removeRow(at);
            QFile::remove(path);
            QFile::remove(path + CaptureNames::kThumbnailSuffix);
        });
}

void DlgPatinfo::onListDoubleClicked(int row, int column)
{
    if (column == 3) {
        editRemark(row);
        return;
    }
    const QLabel* thumbnail = cellLabel(row, 0);
    if (!thumbnail)
        return;
    const QString path = thumbnail->property("path").toString();
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path))
        DesktopOpener::open(path);
    else
        MsgBox::warningText(this, Language::systemText("not_found").arg(path));
}

void DlgPatinfo::editRemark(int row)
{
    const QLabel* thumbnail = cellLabel(row, 0);
    const QLabel* remark = cellLabel(row, 3);
    if (!thumbnail || !remark)
        return;
    const unsigned long long id = thumbnail->property("id").toULongLong();
    if (id == 0)
        return;

    DlgRemark editor(this);
    editor.setText(remark->text());
    if (editor.exec() != QDialog::Accepted)
        return;
    // The labels may have been rebuilt while the editor was open; only the id is kept.
    const QString text = editor.text();
    post(QStringLiteral("UPDATE recd SET rmk=? WHERE rowid=?"), { text, boundId(id) },
        [this, id, text](bool ok, DbResponser*) {
            if (!ok)
                return;
            const int at = rowOfRecord(id);
            if (QLabel* label = at >= 0 ? cellLabel(at, 3) : nullptr)
                label->setText(text);
        });
}

// ---- examinations and the archive ----

void DlgPatinfo::setExam(qlonglong exam)
{
    examID = exam;
}

void DlgPatinfo::findLocalExam(const QString& day, const std::function<void(qlonglong)>& found)
{
    // Made once per patient and day; found again by every later examination of that day.
    post(QStringLiteral("INSERT INTO exam (uid,day,study_uid,source) SELECT ?,?,?,'local' WHERE NOT EXISTS "
                        "(SELECT 1 FROM exam WHERE uid=? AND day=? AND source='local')"),
        { boundId(rowID), day, DicomUid::create(), boundId(rowID), day }, db_result());
    post(QStringLiteral("SELECT MIN(rowid) FROM exam WHERE uid=? AND day=? AND source='local'"),
        { boundId(rowID), day }, [this, found](bool ok, DbResponser* response) {
            if (!ok || !response->next())
                return;
            if (found)
                found(response->value(0).toLongLong());
            else
                examID = response->value(0).toLongLong();
        });
}

void DlgPatinfo::onExaminationEnded()
{
    if (examID == 0 || !AppSettings().autoSendToArchive())
        return;
    // Only what was never asked for: a record the operator sent already keeps its state.
    post(
        QStringLiteral("UPDATE recd_dicom SET state='waiting',error=NULL,tm=? WHERE exam=? AND state IS NULL "
                       "AND rid IN (SELECT rowid FROM recd WHERE uid=?)"),
        { QDateTime::currentDateTime().toString(DateFormats::kDateTime), examID, boundId(rowID) },
        [this](bool ok, DbResponser*) {
            if (ok)
                ArchiveQueue::instance()->wake();
            load();
        });
}

void DlgPatinfo::onSendToArchive(bool)
{
    const QModelIndexList rows = ui->list->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    QVariantList ids;
    QStringList days;
    for (const QModelIndex& index : rows) {
        const QLabel* thumbnail = cellLabel(index.row(), 0);
        const QLabel* date = cellLabel(index.row(), 2);
        if (!thumbnail || !date)
            continue;
        ids << thumbnail->property("id");
        const QString day = date->text().left(10);
        if (!days.contains(day))
            days << day;
    }
    // A record filed outside any examination (before this station knew examinations) goes
    // with this patient's examination of its day.
    for (const QString& day : qAsConst(days)) {
        findLocalExam(day, [](qlonglong) {});
        for (const QVariant& id : qAsConst(ids)) {
            post(QStringLiteral(
                     "INSERT OR IGNORE INTO recd_dicom (rid,exam) SELECT r.rowid,e.rowid FROM recd r, "
                     "exam e WHERE r.rowid=? AND substr(r.dtm,1,10)=? AND e.rowid=(SELECT MIN(rowid) "
                     "FROM exam WHERE uid=r.uid AND day=? AND source='local')"),
                { id, day, day }, db_result());
        }
    }
    QString marks = QStringLiteral("?,").repeated(ids.size());
    marks.chop(1);
    QVariantList binds { QDateTime::currentDateTime().toString(DateFormats::kDateTime) };
    binds += ids;
    post(QStringLiteral("UPDATE recd_dicom SET state='waiting',error=NULL,tm=? WHERE rid IN (") + marks
            + QLatin1Char(')'),
        binds, [this](bool ok, DbResponser*) {
            if (ok)
                ArchiveQueue::instance()->wake();
            load();
        });
}

void DlgPatinfo::onStatesChanged()
{
    if (rowID != 0)
        load();
}
