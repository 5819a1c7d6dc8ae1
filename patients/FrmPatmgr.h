#pragma once

#include <QDate>
#include <QMainWindow>
#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>

struct DbResponser;
class QAction;
class QActionGroup;

namespace Ui {
class FrmPatmgr;
}

// The manager mode's main window: the patient list, filtered live by six finder criteria,
// and the commands that create, open and delete patients.
class FrmPatmgr : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmPatmgr(QWidget* opener);
    ~FrmPatmgr() override;

    // Re-reads the patient list with the current finder criteria.
    void doQuery();

private slots:
    void onNew(bool checked);
    void onOpen(bool checked);
    void onDelete(bool checked);
    void onRefr(bool checked);
    void onCnfg(bool checked);
    void onWorklist(bool checked);
    void onDicom(bool checked);
    void onAbut(bool checked);
    void onLangChge(QAction* action);
    void onListDbClick(int row, int col);
    void onClickedBD(bool checked);
    void onClickedDE(bool checked);
    void onChangedFN(QString s);
    void onChangedLN(QString s);
    void onChangedRK(QString s);
    void onChangedID(QString s);
    void onChangedBD(QDate date);
    void onChangedDE(QDate date);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fitLastColumn();
    void connectSignals();
    void showList(DbResponser* response);
    void fillRows(const DbResponser* response, const QVector<int>& shown);
    // The rowid of the highlighted patient, or invalid (after telling the operator) when
    // no row is selected.
    QVariant selectedRowId();

    QWidget* opener = nullptr;
    std::unique_ptr<Ui::FrmPatmgr> ui;
    QString findFN;
    QString findLN;
    QString findBD;
    QString findRK;
    QString findDE;
    QString findID;
    QActionGroup* languageGroup = nullptr;
};
