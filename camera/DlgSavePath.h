#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class DlgSavePath;
}

// Chooses the folder that captures go to ("SavePath/path"; empty means the default folder).
class DlgSavePath : public QDialog
{
    Q_OBJECT
public:
    explicit DlgSavePath(QWidget* parent);
    ~DlgSavePath() override;

private slots:
    void onOK(bool);
    void onMore(bool);
    void onCancel(bool);

private:
    std::unique_ptr<Ui::DlgSavePath> ui;
};
