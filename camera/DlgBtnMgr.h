#pragma once

#include <QDialog>

namespace Ui {
class DlgBtnMgr;
}

// Assigns a command (the row of each choice list) to each of the camera's two keys.
class DlgBtnMgr : public QDialog
{
    Q_OBJECT
public:
    explicit DlgBtnMgr(QWidget* parent);
    ~DlgBtnMgr() override;

private slots:
    void onOK(bool);
    void onCancel(bool);

private:
    Ui::DlgBtnMgr* ui;
};
