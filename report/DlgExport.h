#pragma once

#include "ReportPage.h"

#include <QDate>
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

    // Draws the report page from the form as it is now; false, with nothing drawn, when a
    // text cannot be placed on the page.
    bool doPrint(QPagedPaintDevice* device);

    // Test and benchmark seam for the save dialog: offered the suggested path, returns the
    // chosen file name, or empty when cancelled. An empty asker restores the standard dialog.
    using SaveFileAsker
        = std::function<QString(QWidget* parent, const QString& suggested, const QString& filter)>;
    static void setSaveFileAsker(SaveFileAsker asker);

public slots:
    void onPrint(bool checked = false);
    void onPrintAsPDF(bool checked = false);

private:
    bool validate();
    void setOutputEnabled(bool enabled);
    // Age in full years on that day; -1 for an unreadable birthday or one after that day.
    static int ageInYears(const QDate& birthday, const QDate& today);
    void fillPatient(bool ok, DbResponser* response);
    QString suggestedPdfPath() const;
    ReportPage pageFromForm() const;
    // True when every text fits the page; otherwise names the field and focuses it.
    bool fitsOnePage();
    void reportTooLong(const ReportPage::Field& field);
    void writePdf(const QString& fileName);
    void showPictures(const QStringList& paths);

    std::unique_ptr<Ui::DlgExport> ui;
    QStringList m_paths;
    bool m_patientKnown = false;
    QString m_firstName, m_lastName;
};
