#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class DlgRemark;
}

// Small editor for the remark of one examination record.
class DlgRemark : public QDialog
{
    Q_OBJECT
public:
    explicit DlgRemark(QWidget* parent);
    ~DlgRemark() override;

    void setText(const QString& text);
    QString text() const;

private slots:
    void onOK(bool checked);

private:
    std::unique_ptr<Ui::DlgRemark> ui;
};
