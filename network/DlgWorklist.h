#pragma once

#include "DicomNode.h"
#include "WorklistAnswer.h"

#include <QDialog>
#include <QFutureWatcher>

#include <memory>

namespace Ui {
class DlgWorklist;
}

// File > Worklist...: today's scheduled procedures for this station, asked of the worklist
// server off the GUI thread. The operator picks one with OK or a double click; the caller
// takes chosenItem() into the station. A query that fails says why and picks nothing.
class DlgWorklist : public QDialog
{
    Q_OBJECT
public:
    explicit DlgWorklist(QWidget* parent = nullptr);
    ~DlgWorklist() override;

    // The procedure picked; meaningful once the dialog was accepted.
    WorklistItem chosenItem() const { return m_chosen; }

    // Asks the worklist again with the stored settings.
    void refresh();

private:
    void onAnswer();
    void fill();
    void choose();
    void setBusy(bool busy);
    void showState(const QString& text, bool failure);

    std::unique_ptr<Ui::DlgWorklist> ui;
    QFutureWatcher<WorklistAnswer> m_watcher;
    QVector<WorklistItem> m_items;
    WorklistItem m_chosen;
    // What the running query was asked, for the wording of a failure.
    QString m_calling;
    DicomNode m_node;
    int m_timeoutSeconds = 0;
};
