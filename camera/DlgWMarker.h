#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class DlgWMarker;
}

// Chooses the watermark stamped on the live picture: a text or a picture file. Accepted
// means the caller should apply the stored watermark again.
class DlgWMarker : public QDialog
{
    Q_OBJECT
public:
    explicit DlgWMarker(QWidget* parent);
    ~DlgWMarker() override;

private slots:
    void onOK(bool);
    void onPict(bool);
    void onCancel(bool);

private:
    std::unique_ptr<Ui::DlgWMarker> ui;
};
