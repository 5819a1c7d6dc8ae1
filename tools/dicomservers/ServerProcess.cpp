#include "ServerProcess.h"

#include <csignal>
#include <sys/prctl.h>

ServerProcess::ServerProcess(QObject* parent)
    : QProcess(parent)
{
    setProcessChannelMode(QProcess::MergedChannels);
}

ServerProcess::~ServerProcess()
{
    stopWithin(10000);
}

void ServerProcess::stopWithin(int waitMs)
{
    if (state() == QProcess::NotRunning)
        return;
    terminate();
    if (!waitForFinished(waitMs)) {
        kill();
        waitForFinished(5000);
    }
}

void ServerProcess::setupChildProcess()
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}
