#pragma once

#include <QDialog>
#include <QPointer>

#include <memory>

namespace Ui {
class DlgType;
}

// Mode choice shown at start: Camera opens the camera window, Manager the patient manager.
// The dialog lives for the whole run; it hides while a mode window is open and that window
// shows it again when it closes. Closing the dialog itself (after confirmation) ends the run.
class DlgType : public QDialog
{
    Q_OBJECT
public:
    explicit DlgType(QWidget* parent = nullptr);
    ~DlgType() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void on_bnCAM_clicked();
    void on_bnPAT_clicked();

private:
    void openModeWindow(QWidget* window);

    std::unique_ptr<Ui::DlgType> ui;
    QPointer<QWidget> m_window; // the open mode window, until it is deleted on close
};
