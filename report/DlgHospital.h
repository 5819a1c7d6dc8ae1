#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class DlgHospital;
}

// Keeps the hospital name printed at the head of every report ("Hospital/name").
class DlgHospital : public QDialog
{
    Q_OBJECT
public:
    explicit DlgHospital(QWidget* parent = nullptr);
    ~DlgHospital() override;

private slots:
    void onOK();

private:
    std::unique_ptr<Ui::DlgHospital> ui;
};
