#pragma once

#include <QDialog>

// Placeholder until the report lands.
class DlgHospital : public QDialog
{
    Q_OBJECT
public:
    explicit DlgHospital(QWidget* parent = nullptr);
};
