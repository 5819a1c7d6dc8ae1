#include "FrmPatmgr.h"

FrmPatmgr::FrmPatmgr(QWidget* opener)
    : opener(opener)
{
}
