#include "FreePort.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

quint16 freeLocalPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

bool waitForListener(quint16 port, int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < waitMs) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(500))
            return true;
        QThread::msleep(50);
    }
    return false;
}
