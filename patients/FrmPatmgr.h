#pragma once

#include <QMainWindow>

// Placeholder until the patient manager lands.
class FrmPatmgr : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmPatmgr(QWidget* opener);

private:
    QWidget* opener = nullptr;
};
