#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

class QPagedPaintDevice;
struct DbResponser;

namespace Ui {
class DlgExport;
}

// The report form: shows what the program knows about the examination (hospital, date,
// examine ID, patient, pictures), takes the rest from the operator, and prints the page or
// saves it as a PDF file.
class DlgExport : public QDialog
{
    Q_OBJECT
public:
    explicit DlgExport(QWidget* parent = nullptr);
    ~DlgExport() override;

    // Fills the form for the patient with this row id and the chosen pictures; the patient's
    // name, sex and age arrive later from the database.
    void setInfo(unsigned long long rowid, const QStringList& paths);

    // Draws the report page from the form as it is now.
    void doPrint(QPagedPaintDevice* device);

    // Test and benchmark seam for the save dialog: returns the chosen file name, or empty
    // when cancelled. An empty asker restores the standard file dialog.
    using SaveFileAsker = std::function<QString(QWidget* parent, const QString& filter)>;
    static void setSaveFileAsker(SaveFileAsker asker);

public slots:
    void onPrint(bool checked = false);
    void onPrintAsPDF(bool checked = false);

private:
    bool validate();
    void fillPatient(bool ok, DbResponser* response);
    void showPictures(const QStringList& paths);

    std::unique_ptr<Ui::DlgExport> ui;
    QStringList m_paths;
};
