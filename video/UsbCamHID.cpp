#include "UsbCamHID.h"
