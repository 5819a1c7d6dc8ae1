#include "DlgWorklist.h"

#include "AppSettings.h"
#include "DateFormats.h"
#include "DicomReason.h"
#include "Language.h"
#include "MsgBox.h"
#include "PersonName.h"
#include "WorklistQuery.h"
#include "ui_DlgWorklist.h"

#include <QHeaderView>
#include <QPushButton>
#include <QtConcurrent>

#include <algorithm>

namespace {

// The longest free text: it takes the width the other columns leave.
constexpr int kProcedureColumn = 5;
// Room either side of a column's widest text, which the header alone would leave out.
constexpr int kColumnPadding = 16;

QTableWidgetItem* cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

QString sexText(const QString& sex)
{
    // The patient form's own words for the two sexes it knows.
    Language* language = Language::instance();
    QString text;
    if (sex == QLatin1String("M"))
        text = language->text(QStringLiteral("DlgPatinfo"), QStringLiteral("rbMale"));
    else if (sex == QLatin1String("F"))
        text = language->text(QStringLiteral("DlgPatinfo"), QStringLiteral("rbFemale"));
    else if (sex == QLatin1String("O"))
        text = language->text(QStringLiteral("DlgWorklist"), QStringLiteral("sexO"));
    text.remove(QLatin1Char('&'));
    return text.isEmpty() ? sex : text;
}

} // namespace

DlgWorklist::DlgWorklist(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DlgWorklist>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    Language::instance()->translate(this);
    QHeaderView* header = ui->list->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(kProcedureColumn, QHeaderView::Stretch);
    ui->list->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 10);

    connect(&m_watcher, &QFutureWatcher<WorklistAnswer>::finished, this, &DlgWorklist::onAnswer);
    connect(ui->bnRefresh, &QPushButton::clicked, this, &DlgWorklist::refresh);
    connect(ui->bnOK, &QPushButton::clicked, this, &DlgWorklist::choose);
    connect(ui->bnCancel, &QPushButton::clicked, this, &DlgWorklist::reject);
    connect(ui->list, &QTableWidget::cellDoubleClicked, this, &DlgWorklist::choose);
    refresh();
}

// The watcher goes with the dialog: an answer still on its way is dropped.
DlgWorklist::~DlgWorklist() = default;

void DlgWorklist::refresh()
{
    if (m_watcher.isRunning())
        return;
    const AppSettings settings;
    m_calling = settings.dicomStationAeTitle();
    m_node = { settings.worklistAeTitle(), settings.worklistHost(), quint16(settings.worklistPort()) };
    m_timeoutSeconds = settings.dicomTimeoutSeconds();
    m_items.clear();
    fill();
    if (m_node.host.isEmpty()) {
        setBusy(false);
        ui->bnRefresh->setEnabled(false);
        showState(Language::systemText("wl_nohost"), true);
        return;
    }
    setBusy(true);
    showState(Language::systemText("wl_asking"), false);
    const QString calling = m_calling;
    const DicomNode node = m_node;
    const int timeout = m_timeoutSeconds;
    const QString modality = settings.dicomModality();
    const QDate today = QDate::currentDate();
    m_watcher.setFuture(QtConcurrent::run([calling, node, timeout, modality, today] {
        WorklistAnswer answer;
        answer.status = WorklistQuery::find(calling, node, today, modality, timeout, &answer.items);
        return answer;
    }));
}

void DlgWorklist::onAnswer()
{
    setBusy(false);
    const WorklistAnswer answer = m_watcher.result();
    if (!answer.status.ok()) {
        showState(Language::systemText("wl_fail").arg(
                      DicomReason::text(answer.status, m_calling, m_node, m_timeoutSeconds)),
            true);
        ui->lbState->setToolTip(answer.status.detail);
        return;
    }
    m_items = answer.items;
    std::stable_sort(m_items.begin(), m_items.end(),
        [](const WorklistItem& a, const WorklistItem& b) { return a.scheduled < b.scheduled; });
    fill();
    showState(m_items.isEmpty() ? Language::systemText("wl_empty")
                                : Language::systemText("wl_count").arg(m_items.size()),
        false);
}

void DlgWorklist::fill()
{
    QTableWidget* list = ui->list;
    list->setRowCount(0);
    list->setRowCount(m_items.size());
    for (int row = 0; row < m_items.size(); ++row) {
        const WorklistItem& item = m_items.at(row);
        list->setItem(row, 0, cell(item.scheduled.time().toString(QStringLiteral("HH:mm"))));
        list->setItem(row, 1, cell(PersonName::display(item.patientName)));
        list->setItem(row, 2, cell(item.patientId));
        list->setItem(row, 3, cell(item.birthDate.toString(DateFormats::kDate)));
        list->setItem(row, 4, cell(sexText(item.sex)));
        list->setItem(row, kProcedureColumn, cell(item.procedure));
        list->setItem(row, 6, cell(item.accessionNumber));
    }
    // Every other column as wide as its widest text (or heading), with room to breathe.
    for (int column = 0; column < list->columnCount(); ++column) {
        if (column == kProcedureColumn)
            continue;
        list->resizeColumnToContents(column);
        list->setColumnWidth(column, list->columnWidth(column) + kColumnPadding);
    }
    ui->bnOK->setEnabled(!m_items.isEmpty());
    if (!m_items.isEmpty())
        list->selectRow(0);
}

void DlgWorklist::choose()
{
    const QList<QTableWidgetItem*> selected = ui->list->selectedItems();
    if (selected.isEmpty()) {
        MsgBox::warning(this, QStringLiteral("sel_none"));
        return;
    }
    m_chosen = m_items.value(selected.first()->row());
    accept();
}

void DlgWorklist::setBusy(bool busy)
{
    ui->pbBusy->setVisible(busy);
    ui->bnRefresh->setEnabled(!busy);
    if (busy)
        ui->bnOK->setEnabled(false);
}

void DlgWorklist::showState(const QString& text, bool failure)
{
    ui->lbState->setStyleSheet(failure ? QStringLiteral("color: #b00020;") : QString());
    ui->lbState->setText(text);
    ui->lbState->setToolTip(QString());
}
