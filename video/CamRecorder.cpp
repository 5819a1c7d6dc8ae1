#include "CamRecorder.h"
