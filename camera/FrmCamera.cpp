#include "FrmCamera.h"

FrmCamera::FrmCamera(QWidget* opener)
    : opener(opener)
{
}
