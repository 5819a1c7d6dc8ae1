#include "DlgHospital.h"

DlgHospital::DlgHospital(QWidget* parent)
    : QDialog(parent)
{
}
