#include "ArchiveQueue.h"

#include "ArchiveWorker.h"

#include <QCoreApplication>

#include <utility>

namespace {
ArchiveQueue* queue = nullptr;
}

ArchiveQueue* ArchiveQueue::instance()
{
    if (!queue)
        queue = new ArchiveQueue(QCoreApplication::instance());
    return queue;
}

ArchiveQueue::ArchiveQueue(QObject* parent)
    : QObject(parent)
{
    bool ok = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("KARVEX_ARCHIVE_RETRY_MS", &ok);
    retryTimer.setInterval(ok && fromEnvironment > 0 ? fromEnvironment : kRetryIntervalMs);
    connect(&retryTimer, &QTimer::timeout, this, [this] { emit passRequested(true); });
}

ArchiveQueue::~ArchiveQueue()
{
    // A send in progress finishes first (its time-out bounds the wait).
    thread.quit();
    thread.wait();
    if (queue == this)
        queue = nullptr;
}

void ArchiveQueue::start()
{
    if (worker)
        return;
    worker = new ArchiveWorker;
    worker->moveToThread(&thread);
    // The worker's database connection belongs to its thread and is closed there, as the
    // thread ends. (A deleteLater posted at that point is not run once the program's event
    // loop has gone, and the worker with its connection would be left behind.)
    connect(
        &thread, &QThread::finished, &thread, [this] { delete std::exchange(worker, nullptr); },
        Qt::DirectConnection);
    connect(this, &ArchiveQueue::passRequested, worker, &ArchiveWorker::sendPending, Qt::QueuedConnection);
    connect(worker, &ArchiveWorker::statesChanged, this, &ArchiveQueue::statesChanged, Qt::QueuedConnection);
    thread.setObjectName(QStringLiteral("archive"));
    thread.start();
    retryTimer.start();
    emit passRequested(true);
}

void ArchiveQueue::wake()
{
    if (!worker) {
        start();
        return;
    }
    emit passRequested(false);
}

void ArchiveQueue::setRetryInterval(int milliseconds)
{
    retryTimer.setInterval(milliseconds);
}

int ArchiveQueue::retryInterval() const
{
    return retryTimer.interval();
}
