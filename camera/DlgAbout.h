#pragma once

#include <QDialog>

// Name, version and notice of the program; closed through its title bar.
class DlgAbout : public QDialog
{
    Q_OBJECT
public:
    explicit DlgAbout(QWidget* parent);
    ~DlgAbout() override;
};
