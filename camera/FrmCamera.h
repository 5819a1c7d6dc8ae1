#pragma once

#include <QMainWindow>

// Placeholder until the camera window lands.
class FrmCamera : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmCamera(QWidget* opener);

private:
    QWidget* opener = nullptr;
};
