#include "CamViewer.h"
