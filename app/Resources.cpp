#include "Resources.h"

#include <QtGlobal>

void karvexInitResources()
{
    Q_INIT_RESOURCE(res);
}
