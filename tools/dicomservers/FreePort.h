#pragma once

#include <QtGlobal>

// A TCP port on 127.0.0.1 that nothing listens on right now (0 when none could be found).
quint16 freeLocalPort();

// Waits until something accepts TCP connections at 127.0.0.1:`port`, at most `waitMs`.
bool waitForListener(quint16 port, int waitMs);
