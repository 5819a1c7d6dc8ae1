#include "WorkerThread.h"

WorkerThread::~WorkerThread()
{
    join();
}

void WorkerThread::start(std::function<void()> work, QThread::Priority priority)
{
    join();
    m_thread.reset(QThread::create(std::move(work)));
    m_thread->start(priority);
}

bool WorkerThread::isRunning() const
{
    return m_thread && !m_thread->isFinished();
}

bool WorkerThread::join(QDeadlineTimer deadline)
{
    if (!m_thread)
        return true;
    if (!m_thread->wait(deadline))
        return false;
    m_thread.reset();
    return true;
}

void WorkerThread::terminate()
{
    if (!m_thread)
        return;
    m_thread->terminate();
    m_thread->wait();
    m_thread.reset();
}
