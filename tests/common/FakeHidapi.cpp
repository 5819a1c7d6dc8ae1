#include "FakeHidapi.h"
