#pragma once

#include <QDialog>
#include <QKeySequence>

#include <memory>

class KeyCaptureEdit;

namespace Ui {
class DlgBtnMgr;
}

// Assigns a command (the row of each choice list) to each of the camera's two keys, and to
// up to two keyboard keys (foot switches), which the operator presses to assign. Keys the
// camera window uses itself are refused.
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
    void assignKey(KeyCaptureEdit* edit, const QKeySequence& key);

    std::unique_ptr<Ui::DlgBtnMgr> ui;
};
