#include "ServerCheck.h"

#include "DicomEcho.h"

#include <QtConcurrent>

ServerCheck::ServerCheck(QObject* parent)
    : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcher<DicomStatus>::finished, this,
        [this] { emit finished(m_watcher.result()); });
}

void ServerCheck::start(const QString& callingAeTitle, const DicomNode& called, int timeoutSeconds)
{
    m_watcher.setFuture(QtConcurrent::run([callingAeTitle, called, timeoutSeconds] {
        return DicomEcho::check(callingAeTitle, called, timeoutSeconds);
    }));
}
