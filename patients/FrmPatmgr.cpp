#include "FrmPatmgr.h"

#include "Database.h"
#include "DateFormats.h"
#include "DlgAbout.h"
#include "DlgDicom.h"
#include "DlgHospital.h"
#include "DlgPatinfo.h"
#include "DlgWorklist.h"
#include "Language.h"
#include "LanguageMenu.h"
#include "MsgBox.h"
#include "WorklistAdmission.h"
#include "ui_FrmPatmgr.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDebug>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QVector>

namespace {

// The row id travels with the first cell of each row, where Open and Delete read it.
constexpr int rowIdRole = Qt::UserRole;

QTableWidgetItem* cell(const QVariant& value, Qt::Alignment alignment)
{
    auto* item = new QTableWidgetItem(value.toString());
    item->setTextAlignment(int(alignment));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

FrmPatmgr::FrmPatmgr(QWidget* openerWindow)
    : QMainWindow(nullptr)
    , opener(openerWindow)
    , ui(std::make_unique<Ui::FrmPatmgr>())
{
    ui->setupUi(this);
    fitLastColumn();
    Database* db = Database::instance();
    Language::instance()->translate(this);
    if (!db)
        MsgBox::warning(this, QStringLiteral("db_eror"));
    doQuery();
    connectSignals();

    languageGroup = new QActionGroup(this);
    LanguageMenu::build(ui->mfLang, languageGroup);
    connect(languageGroup, &QActionGroup::triggered, this, &FrmPatmgr::onLangChge);
}

FrmPatmgr::~FrmPatmgr()
{
    qDebug("Delete FrmPatmgr\n");
}

void FrmPatmgr::fitLastColumn()
{
    // A stretched last section never gets narrower than it was when the stretch was switched
    // on, which would keep it at the 130-pixel default and push the examination date behind a
    // horizontal scroll bar in the 800-pixel window. Starting it at the minimum width lets it
    // take exactly the room the other columns leave.
    QHeaderView* header = ui->list->horizontalHeader();
    // Six columns share the room of five (the Patient ID column came last); the examination
    // time needs the most.
    const int widths[] = { 100, 100, 90, 100, 140 };
    for (int column = 0; column < 5 && column + 1 < header->count(); ++column)
        header->resizeSection(column, widths[column]);
    header->setStretchLastSection(false);
    header->resizeSection(header->count() - 1, header->minimumSectionSize());
    header->setStretchLastSection(true);
}

void FrmPatmgr::connectSignals()
{
    connect(ui->mfRefr, &QAction::triggered, this, &FrmPatmgr::onRefr);
    connect(ui->mfCnfg, &QAction::triggered, this, &FrmPatmgr::onCnfg);
    connect(ui->mfWorklist, &QAction::triggered, this, &FrmPatmgr::onWorklist);
    connect(ui->msDicom, &QAction::triggered, this, &FrmPatmgr::onDicom);
    connect(ui->mfExit, &QAction::triggered, this, &FrmPatmgr::close);
    connect(ui->mhAbut, &QAction::triggered, this, &FrmPatmgr::onAbut);
    connect(ui->leFN, &QLineEdit::textChanged, this, &FrmPatmgr::onChangedFN);
    connect(ui->leLN, &QLineEdit::textChanged, this, &FrmPatmgr::onChangedLN);
    connect(ui->leRK, &QLineEdit::textChanged, this, &FrmPatmgr::onChangedRK);
    connect(ui->leID, &QLineEdit::textChanged, this, &FrmPatmgr::onChangedID);
    connect(ui->cbBD, &QCheckBox::clicked, this, &FrmPatmgr::onClickedBD);
    connect(ui->cbDE, &QCheckBox::clicked, this, &FrmPatmgr::onClickedDE);
    connect(ui->deBD, &QDateEdit::dateChanged, this, &FrmPatmgr::onChangedBD);
    connect(ui->deDE, &QDateEdit::dateChanged, this, &FrmPatmgr::onChangedDE);
    connect(ui->bnNew, &QPushButton::clicked, this, &FrmPatmgr::onNew);
    connect(ui->bnOpen, &QPushButton::clicked, this, &FrmPatmgr::onOpen);
    connect(ui->bnDelete, &QPushButton::clicked, this, &FrmPatmgr::onDelete);
    connect(ui->list, &QTableWidget::cellDoubleClicked, this, &FrmPatmgr::onListDbClick);
}

void FrmPatmgr::doQuery()
{
    Database* db = Database::instance();
    if (!db)
        return;

    // Only each patient's newest record is joined (through the index on recd.uid): joining all
    // of them would make a clinic's list ten times longer than the patients it shows.
    QString sql = QStringLiteral(
        "SELECT a.rowid,a.fnam,a.lnam,a.bday,a.rmrk,b.dtm,p.pid FROM user a LEFT JOIN recd b "
        "ON b.rowid=(SELECT MAX(rowid) FROM recd WHERE uid=a.rowid) "
        "LEFT JOIN patient_ident p ON p.uid=a.rowid WHERE a.rowid>0");
    QVariantList binds;
    // Finder texts are bound as typed: "%" and "_" stay wildcards for the operator.
    const QString any = QStringLiteral("%");
    if (!findFN.isEmpty()) {
        sql += QStringLiteral(" AND a.fnam LIKE ?");
        binds << QString(any + findFN + any);
    }
    if (!findLN.isEmpty()) {
        sql += QStringLiteral(" AND a.lnam LIKE ?");
        binds << QString(any + findLN + any);
    }
    if (ui->cbBD->isChecked() && !findBD.isEmpty()) {
        sql += QStringLiteral(" AND a.bday=?");
        binds << findBD;
    }
    if (!findRK.isEmpty()) {
        sql += QStringLiteral(" AND a.rmrk LIKE ?");
        binds << QString(any + findRK + any);
    }
    if (!findID.isEmpty()) {
        sql += QStringLiteral(" AND p.pid LIKE ?");
        binds << QString(any + findID + any);
    }
    if (ui->cbDE->isChecked() && !findDE.isEmpty()) {
        // Any record of that day qualifies the patient; the joined b still supplies the
        // date of the latest record for the list. Record times begin with the ten-character date.
        sql += QStringLiteral(
            " AND EXISTS (SELECT 1 FROM recd b WHERE b.uid=a.rowid AND substr(b.dtm,1,10)=?)");
        binds << findDE;
    }
    sql += QStringLiteral(" ORDER BY a.rowid ASC,b.rowid DESC");

    db->exec(sql, binds, this, [this](bool ok, DbResponser* response) {
        if (ok)
            showList(response);
    });
}

void FrmPatmgr::showList(DbResponser* response)
{
    // Rows arrive by patient, newest record first: the first row of a patient is the one shown.
    QVector<int> shown;
    qulonglong lastRowId = 0;
    while (response->next()) {
        const qulonglong rowId = response->value(0).toULongLong();
        if (rowId == lastRowId)
            continue;
        shown << response->cursor;
        lastRowId = rowId;
    }

    // Items rather than cell widgets, filled with repaints off: a clinic's whole patient
    // list is rebuilt on every keystroke in the finder.
    QTableWidget* list = ui->list;
    list->setUpdatesEnabled(false);
    list->setSortingEnabled(false);
    list->setRowCount(0);
    list->setRowCount(shown.size());
    {
        // One change notice per cell would cost more than the cells; the view repaints the
        // whole table when updates come back on, and nothing else watches the items.
        const QSignalBlocker quiet(list->model());
        fillRows(response, shown);
    }
    list->setUpdatesEnabled(true);
}

void FrmPatmgr::fillRows(const DbResponser* response, const QVector<int>& shown)
{
    QTableWidget* list = ui->list;
    const Qt::Alignment centred = Qt::AlignCenter;
    for (int row = 0; row < shown.size(); ++row) {
        const QVector<QVariant>& values = response->rows.at(shown.at(row));
        QTableWidgetItem* first = cell(values.at(1), centred);
        first->setData(rowIdRole, values.at(0).toULongLong());
        list->setItem(row, 0, first);
        list->setItem(row, 1, cell(values.at(2), centred));
        list->setItem(row, 2, cell(values.at(3), centred));
        list->setItem(row, 3, cell(values.at(4), Qt::AlignLeft | Qt::AlignVCenter));
        list->setItem(row, 4, cell(values.at(5), centred));
        list->setItem(row, 5, cell(values.at(6), centred));
    }
}

QVariant FrmPatmgr::selectedRowId()
{
    // The highlighted row, not merely the current one: after focusing the list Qt makes the
    // first row current without highlighting it, and Delete must never act on a row the
    // operator has not picked.
    const QList<QTableWidgetItem*> selected = ui->list->selectedItems();
    QTableWidgetItem* first = selected.isEmpty() ? nullptr : ui->list->item(selected.first()->row(), 0);
    if (!first) {
        MsgBox::warning(this, QStringLiteral("sel_none"));
        ui->list->setFocus();
        return QVariant();
    }
    return first->data(rowIdRole);
}

void FrmPatmgr::onNew(bool)
{
    // A patient could not be saved anyway; say why instead of offering an empty form.
    if (!Database::instance()) {
        MsgBox::warning(this, QStringLiteral("db_eror"));
        return;
    }
    DlgPatinfo dialog(this);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();
}

void FrmPatmgr::onOpen(bool)
{
    const QVariant rowId = selectedRowId();
    if (!rowId.isValid())
        return;
    DlgPatinfo dialog(this);
    dialog.setRowID(rowId.toULongLong());
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();
}

void FrmPatmgr::onDelete(bool)
{
    const QVariant rowId = selectedRowId();
    if (!rowId.isValid())
        return;
    // The question names the patient, so a wrong row is noticed before anything goes.
    const int row = ui->list->selectedItems().first()->row();
    const QString name = ui->list->item(row, 0)->text() + QLatin1Char(' ') + ui->list->item(row, 1)->text();
    const QString question = Language::systemText("del_patient").arg(name);
    if (!MsgBox::askText(this, question))
        return;
    Database* db = Database::instance();
    if (!db)
        return;
    // Records first, so that a later patient given the same rowid never inherits them, nor
    // their Patient ID, examinations or sending states. The captured files stay on disk.
    db->exec(QStringLiteral("DELETE FROM recd_dicom WHERE rid IN (SELECT rowid FROM recd WHERE uid=?)"),
        { rowId }, nullptr, db_result());
    db->exec(QStringLiteral("DELETE FROM recd WHERE uid=?"), { rowId }, nullptr, db_result());
    db->exec(QStringLiteral("DELETE FROM exam WHERE uid=?"), { rowId }, nullptr, db_result());
    db->exec(QStringLiteral("DELETE FROM patient_ident WHERE uid=?"), { rowId }, nullptr, db_result());
    db->exec(
        QStringLiteral("DELETE FROM user WHERE rowid=?"), { rowId }, this, [this](bool ok, DbResponser*) {
            if (ok)
                doQuery();
        });
}

void FrmPatmgr::onRefr(bool)
{
    doQuery();
}

void FrmPatmgr::onCnfg(bool)
{
    DlgHospital dialog(this);
    dialog.exec();
}

void FrmPatmgr::onWorklist(bool)
{
    DlgWorklist dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Admitted once the list is closed, so the patient dialog opens over the manager.
    WorklistAdmission::admit(dialog.chosenItem(), this);
}

void FrmPatmgr::onDicom(bool)
{
    DlgDicom dialog(this);
    dialog.exec();
}

void FrmPatmgr::onAbut(bool)
{
    DlgAbout dialog(this);
    dialog.exec();
}

void FrmPatmgr::onLangChge(QAction* action)
{
    if (LanguageMenu::load(action))
        LanguageMenu::retranslateChain(this, opener);
}

void FrmPatmgr::onListDbClick(int, int)
{
    onOpen(false);
}

void FrmPatmgr::onClickedBD(bool checked)
{
    ui->deBD->setEnabled(checked);
    findBD = ui->deBD->date().toString(DateFormats::kDate);
    doQuery();
}

void FrmPatmgr::onClickedDE(bool checked)
{
    ui->deDE->setEnabled(checked);
    findDE = ui->deDE->date().toString(DateFormats::kDate);
    doQuery();
}

void FrmPatmgr::onChangedFN(QString s)
{
    findFN = s;
    doQuery();
}

void FrmPatmgr::onChangedLN(QString s)
{
    findLN = s;
    doQuery();
}

void FrmPatmgr::onChangedRK(QString s)
{
    findRK = s;
    doQuery();
}

void FrmPatmgr::onChangedID(QString s)
{
    findID = s;
    doQuery();
}

void FrmPatmgr::onChangedBD(QDate date)
{
    findBD = date.toString(DateFormats::kDate);
    doQuery();
}

void FrmPatmgr::onChangedDE(QDate date)
{
    findDE = date.toString(DateFormats::kDate);
    doQuery();
}

void FrmPatmgr::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (opener)
        opener->show();
}
