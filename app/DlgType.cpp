#include "DlgType.h"

DlgType::DlgType(QWidget* parent)
    : QDialog(parent)
{
}

DlgType::~DlgType() = default;
