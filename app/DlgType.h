#pragma once

#include <QDialog>

namespace Ui {
class DlgType;
}

// Mode choice shown at start: Camera opens the camera window, Manager the patient manager.
class DlgType : public QDialog
{
    Q_OBJECT
public:
    explicit DlgType(QWidget* parent = nullptr);
    ~DlgType() override;
};
