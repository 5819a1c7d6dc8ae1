#include "CamGrabber.h"
