#pragma once

#include "DbResponser.h"

#include <QDialog>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>

class BlankDateEdit;
class QLabel;
class QMenu;

namespace Ui {
class DlgPatinfo;
}

// One patient: the Information tab creates, shows and edits the patient's row of "user";
// the Record tab lists the patient's examination records and opens the camera for a new
// examination. A patient with row id 0 is new and not saved yet.
class DlgPatinfo : public QDialog
{
    Q_OBJECT
public:
    explicit DlgPatinfo(QWidget* parent);
    ~DlgPatinfo() override;

    // Shows the stored patient read-only, opened on the Record tab.
    void setRowID(unsigned long long rowid);
    unsigned long long patientRowID() const { return rowID; }

    // Reloads the records list from the database.
    void load();
    // Files one capture under the patient (nothing when the file does not exist).
    void addList(const QString& path);

    // The examination (rowid of "exam") new captures are filed in; 0: this patient's
    // examination of the day, made or found when New Examination is pressed.
    void setExam(qlonglong exam);
    qlonglong currentExam() const { return examID; }

signals:
    // The records list was rebuilt from a load result.
    void recordsLoaded();

private slots:
    void onOK(bool checked);
    void onNew(bool checked);
    void onCancel(bool checked);
    void onModify(bool checked);
    void onDelete(bool checked);
    void onSnap(QString path);
    void onRecord(QStringList paths);
    void onReport(QStringList paths);
    void onListMenu(QPoint pos);
    void onListDoubleClicked(int row, int column);
    void onSendToArchive(bool checked);
    void onExaminationEnded();
    void onStatesChanged();

private:
    void setReadOnly(bool ro);
    // Hands a statement to the database service; false when there is no service.
    bool post(const QString& sql, const QVariantList& binds, const db_result& callback);
    void showPatient(DbResponser* response);
    void saved();
    void savePatientId(unsigned long long patient, const QString& pid);
    // Finds (or makes) this patient's own examination of the day; hands its rowid to found,
    // or makes it the current examination when found is empty.
    void findLocalExam(const QString& day, const std::function<void(qlonglong)>& found = {});
    void showState(int row, const QString& state, const QString& error);
    void showRecords(DbResponser* response);
    void showRecord(
        int row, unsigned long long id, const QString& path, const QString& date, const QString& remark);
    void editRemark(int row);
    QLabel* cellLabel(int row, int column) const;
    int rowOfRecord(unsigned long long id) const;

    std::unique_ptr<Ui::DlgPatinfo> ui;
    QMenu* popup = nullptr;
    BlankDateEdit* birthday = nullptr;
    unsigned long long rowID = 0;
    qlonglong examID = 0;
};
