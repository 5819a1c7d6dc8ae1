#pragma once

#include "DicomNode.h"
#include "DicomStatus.h"

#include <QDialog>

#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ServerCheck;

namespace Ui {
class DlgDicom;
}

// Settings > DICOM...: this station's identity and the archive's and the worklist's
// addresses, each server with a Test button. Nothing is stored before OK.
class DlgDicom : public QDialog
{
    Q_OBJECT
public:
    explicit DlgDicom(QWidget* parent = nullptr);
    ~DlgDicom() override;

private:
    // One server's fields, its Test button and the check it runs.
    struct Server {
        QGroupBox* group;
        QLabel* aeLabel;
        QLineEdit* aeTitle;
        QLabel* hostLabel;
        QLineEdit* host;
        QLabel* portLabel;
        QLineEdit* port;
        QPushButton* test;
        QLabel* result;
        ServerCheck* check;
        // What the running check was asked, for the wording of its outcome.
        QString calling;
        DicomNode node;
        int timeoutSeconds = 0;
    };

    void load();
    void alignLabels();
    void onOK();
    void onTest(Server& server);
    void showResult(Server& server, const DicomStatus& status);
    void growToFit(QLabel* label);
    bool checkAeTitle(QLineEdit* edit, QLabel* label, QGroupBox* group);
    bool checkPort(const Server& server);
    bool checkServer(const Server& server);
    void refuse(QLineEdit* edit, const char* key, QLabel* label, QGroupBox* group);

    std::unique_ptr<Ui::DlgDicom> ui;
    Server m_archive {};
    Server m_worklist {};
};
