#include "WorkerThread.h"

namespace {

// Runs the work straight from run(). QThread::create wraps it in a std::future whose catch
// clause for a forced unwind binds a null reference (undefined behaviour) when terminate()
// cancels the thread inside the work.
class FunctionThread : public QThread
{
public:
    explicit FunctionThread(std::function<void()> work)
        : m_work(std::move(work))
    { }

protected:
    void run() override { m_work(); }

private:
    std::function<void()> m_work;
};

} // namespace

WorkerThread::~WorkerThread()
{
    join();
}

void WorkerThread::start(std::function<void()> work, QThread::Priority priority)
{
    join();
    m_thread = std::make_unique<FunctionThread>(std::move(work));
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
